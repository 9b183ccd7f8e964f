#pragma once

namespace miravon {

// Which layer of the catalogue gave an entry its address. It travels with
// the address to the player and the address check: only the user's own
// address file may name a file of this computer; built-in and imported
// addresses, and whatever a playlist from the network names, never open one.
enum class AddressOrigin {
    BuiltIn,  // the compiled-in catalogue (stand-ins)
    Imported, // addresses.import.tsv, written by an import
    Own,      // addresses.tsv, the user's own file
};

} // namespace miravon
