// The texts of the library's public error codes (the original's string resources).
#pragma once

// The text of an error code, or null when the code has none. A code is looked up by its 16-bit
// resource number, as the original's string table was (-1 is 65535).
const char* KrErrorTextFor(int code);
