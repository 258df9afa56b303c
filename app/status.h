// Where the product stands in Developer Studio's registry, for scripts.
#pragma once

struct ProductDirectory;

// Exit statuses of a status query.
enum StatusExit { StatusInstalled = 0, StatusPartlyInstalled = 1, StatusNotInstalled = 3 };

// Prints, untranslated and one line each, whether the installed marker is there,
// where the product's Tools entries stand, and whether the search path begins
// with the product's directories, then the state they make; reads only.
StatusExit reportStatus(const ProductDirectory &product);
