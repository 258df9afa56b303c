// What the search path says of the product, apart from the window's actions.
#pragma once

// Whether Path Dirs begins with the product's three directories, in any spelling
// Windows takes for the same directories; read only.
bool searchPathStartsWithProductDirectories();
