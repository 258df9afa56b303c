// The record of a run that --log appends to a file, for runs that nobody
// watches (deployment tools, scheduled tasks, logon scripts).
#pragma once

#include <QString>
#include <QStringList>

class RunLog {
public:
    ~RunLog();
    // Opens path for appending, creating it as the user's programs create files;
    // false, with the reason, when it cannot be appended to: then nothing else is done.
    bool open(const std::string &path, QString &problem);
    bool isOpen() const { return m_descriptor >= 0; }
    void add(const QString &label, const QString &text);
    // Appends the record, which ends with the exit status, in one write, so
    // that runs sharing a log never mix their lines; false, with the reason,
    // when the record could not be appended whole (then none of it is).
    bool finish(int exitStatus, QString &problem);

private:
    int m_descriptor = -1;
    QString m_path;
    QStringList m_lines;
};
