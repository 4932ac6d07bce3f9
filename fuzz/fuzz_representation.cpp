// Reads arbitrary bytes as a representation text. A valid text must survive
// the round trip through its canonical form; an invalid one must say why and
// yield no characters.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "util/utilities.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velmor::util;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const RepresentationResult first = RepresentationToCharacters(text);
    if (!first.ok()) {
        if (!first.characters.empty()) std::abort();
        return 0;
    }
    const std::string canonical = CharactersToRepresentation(first.characters);
    const RepresentationResult second = RepresentationToCharacters(canonical);
    if (!second.ok() || second.characters != first.characters) std::abort();
    if (CharactersToRepresentation(second.characters) != canonical) std::abort();
    return 0;
}
