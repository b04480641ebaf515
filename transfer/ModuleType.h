#pragma once

// How a module type is sent: its pixel depth and its fold factor. The fold
// factor changes only the controller's memory layout, never the page bytes.
enum class Depth { DualColour, Monochrome, NotSent };

struct TypeFamily {
    Depth depth = Depth::NotSent;
    int fold = 0;  // F: 1, 2, 4 or 8; 0 for a type that is not sent
};

// The family of module type T0..T26; NotSent for the eight types without
// one and for any index outside the list.
TypeFamily typeFamily(int type);
