// The online-service back end's own step that the tests reach: placing the game server's player
// list into the transport's slot tables.
#pragma once
#include <cstddef>
#include <cstdint>

// Empties the online slot tables, then places the list {count, address...} of `words` words: the
// player with address a (1..100) takes slot a-1 with the name fetchName gives (at most 16
// characters; null: no names) and the is-me flag when a equals `own`. A count beyond the words
// given is cut to them; addresses outside 1..100 and repeats are skipped. The number placed.
int NET_OnlinePlacePlayers(const uint32_t* list, size_t words, uint32_t own,
                           void (*fetchName)(uint32_t address, char* name, int size));
