// The product's installation directory as the registry must name it.
#pragma once

#include <string>

// TINDRALDIR, read from the environment each time, in the form the registry
// names it (see registryFormOfPath); empty when it is unset.
std::string productDirectoryForRegistry();

// Fills format's "%s" with directory into a buffer of bufferSize bytes; false
// (and an empty buffer) when the result does not fit.
bool composeProductPath(char *buffer, size_t bufferSize, const char *format, const std::string &directory);
