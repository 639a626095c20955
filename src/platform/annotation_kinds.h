#pragma once
// The six kinds of annotation as one table: the code that names a kind on
// the wire and in stored lists, and the facts that differ by kind. A value
// with one item per kind (a page's lists, the list texts of a reply) is a
// PerKind, indexed by the kind's code.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// Type codes sent with a saved list; in the server's reply of a page's lists
// the list of a kind stands at the place of its bit.
enum AnnotationKind : std::int32_t {
    kStickyNote = 1,
    kClip = 2,
    kRedaction = 4,
    kHighlight = 8,
    kTextNote = 16,
    kMarkup = 64,
};

struct AnnotationKindFacts {
    AnnotationKind kind;
    // The behaviour flag that hides the kind and bars changing it.
    std::int32_t featureBit;
    // Most records of the kind on one page, enforced when one is created.
    int maxPerPage;
};

constexpr std::size_t kAnnotationKindCount = 6;

// In the order a page's lists are handed to the viewer.
constexpr std::array<AnnotationKindFacts, kAnnotationKindCount> kAnnotationKinds = {{
    {kRedaction, 0x100, 85},
    {kHighlight, 0x80, 85},
    {kStickyNote, 0x10, 15},
    {kTextNote, 0x20, 15},
    {kClip, 0x1000, 30},
    {kMarkup, 0x40, 15},
}};

// The place of a code in the table; kAnnotationKindCount for a code that
// names no kind.
constexpr std::size_t AnnotationKindIndex(std::int64_t code) {
    for (std::size_t i = 0; i < kAnnotationKindCount; ++i)
        if (kAnnotationKinds[i].kind == code) return i;
    return kAnnotationKindCount;
}

constexpr bool IsAnnotationKind(std::int64_t code) {
    return AnnotationKindIndex(code) < kAnnotationKindCount;
}

// The table's facts of a kind; a code that names no kind has none (a
// feature bit and a most of 0).
constexpr AnnotationKindFacts KindFacts(std::int64_t code) {
    const std::size_t i = AnnotationKindIndex(code);
    return i < kAnnotationKindCount ? kAnnotationKinds[i] : AnnotationKindFacts{};
}

// One item per kind, in the table's order.
template <class T>
struct PerKind {
    std::array<T, kAnnotationKindCount> items{};

    // A code that names no kind throws rather than reach past the items.
    T& operator[](AnnotationKind kind) { return items.at(AnnotationKindIndex(kind)); }
    const T& operator[](AnnotationKind kind) const { return items.at(AnnotationKindIndex(kind)); }
    auto begin() { return items.begin(); }
    auto end() { return items.end(); }
    auto begin() const { return items.begin(); }
    auto end() const { return items.end(); }
};

// The list texts of a page, one per kind.
using AnnotationTexts = PerKind<std::string>;
