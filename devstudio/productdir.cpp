#include "productdir.h"

#include "registry.h"

#include <cstdio>
#include <cstdlib>

std::string productDirectoryForRegistry()
{
    const char *directory = std::getenv("TINDRALDIR");
    std::string registryForm;
    std::string problem; // the program does not install when there is no registry form
    return directory && registryFormOfPath(directory, registryForm, problem) ? registryForm : std::string();
}

bool composeProductPath(char *buffer, size_t bufferSize, const char *format, const std::string &directory)
{
    const int length = std::snprintf(buffer, bufferSize, format, directory.c_str());
    if (length < 0 || static_cast<size_t>(length) >= bufferSize) {
        buffer[0] = '\0';
        return false;
    }
    return true;
}
