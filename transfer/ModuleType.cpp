#include "transfer/ModuleType.h"

#include <array>
#include <cstddef>

TypeFamily typeFamily(int type) {
    constexpr TypeFamily dual1{Depth::DualColour, 1}, dual2{Depth::DualColour, 2},
        dual4{Depth::DualColour, 4}, dual8{Depth::DualColour, 8}, mono1{Depth::Monochrome, 1},
        mono4{Depth::Monochrome, 4}, none{};
    static constexpr std::array<TypeFamily, 27> families = {
        dual1,                                     // T0
        dual2, dual2, dual4, dual4, dual8, dual8,  // T1..T6   colour_8
        dual2, dual2, dual4, dual4, dual8, dual8,  // T7..T12  colour_16
        mono1,                                     // T13
        none,  none,  mono4, mono4, none,  none,   // T14..T19 monochrome_8
        none,  none,  mono4, mono4, none,  none,   // T20..T25 monochrome_16
        dual4,                                     // T26
    };
    if (type < 0 || type >= static_cast<int>(families.size())) {
        return none;
    }
    return families[static_cast<size_t>(type)];
}
