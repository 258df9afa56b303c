#include "productdir.h"

#include "registry.h"

#include <QString>

#include <cstdio>
#include <cstdlib>

namespace {

QString fromRegistryText(const std::string &text) { return QString::fromUtf8(text.data(), int(text.size())); }

QString comparablePath(const std::string &path)
{
    QString comparable = fromRegistryText(path);
    comparable.replace(QLatin1Char('/'), QLatin1Char('\\'));
    while (comparable.contains(QLatin1String("\\\\")))
        comparable.replace(QLatin1String("\\\\"), QLatin1String("\\"));
    return comparable;
}

} // namespace

ProductDirectory locateProductDirectory(const std::string &given)
{
    ProductDirectory product;
    product.given = given;
    product.local = localFormOfPath(given);
    if (!given.empty() && !registryFormOfPath(given, product.registryForm, product.problem))
        product.registryForm.clear();
    return product;
}

QString localDirectoryText(const ProductDirectory &product)
{
#ifdef _WIN32
    return QString::fromUtf8(product.local.c_str());
#else
    return QString::fromLocal8Bit(product.local.c_str());
#endif
}

bool sameWindowsPath(const std::string &first, const std::string &second)
{
    return comparablePath(first).compare(comparablePath(second), Qt::CaseInsensitive) == 0;
}

bool containsIgnoringCase(const std::string &text, const std::string &pattern)
{
    return fromRegistryText(text).contains(fromRegistryText(pattern), Qt::CaseInsensitive);
}

std::string productDirectoryProblem(const std::string &directory)
{
    for (const unsigned char c : directory) {
        char shown[8];
        if (c < 0x20)
            std::snprintf(shown, sizeof shown, "0x%02X", c);
        else if (std::string("\"<>|*?;").find(char(c)) != std::string::npos)
            std::snprintf(shown, sizeof shown, "'%c'", c);
        else
            continue;
        const std::string why = c == ';' ? "it would split Developer Studio's search path at ';'"
                                         : "Windows programs cannot open a path that holds it";
        return "TINDRALDIR holds the character " + std::string(shown) + ": " + why;
    }
    return std::string();
}
