#pragma once
// Checks the body of a publication: one ServerEntry, as a host's wizard sends it.
#include "server_entry.h"

#include <cstddef>
#include <string>

const int MIN_HOST_PORT = 1;
const int MAX_HOST_PORT = 36000;

// Fills *entry from the body, with the address and every byte nobody sets zeroed, or
// returns false with the reason in *reason.
bool ParsePublication(const unsigned char* body, size_t size, ServerEntry* entry, std::string* reason);
