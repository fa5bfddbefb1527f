#pragma once
// What a sender should key for a text, and how far what was heard or seen
// strays from it.
#include <cstdint>
#include <string>
#include <vector>

#include "support/sound_recording.h"

namespace morvik::bench {

// Silence, in units, after an element inside a character, after a
// character, and after a word. A dot is one unit on, a dash three.
struct GapRules {
    int element;
    int character;
    int word;
};
// Morvik's own: one unit after every element, three more after a character,
// seven more for a space.
inline constexpr GapRules MorvikGaps{1, 4, 11};
// The textbook rules (PARIS = 50 units), which unixcw follows.
inline constexpr GapRules TextbookGaps{1, 3, 7};

enum class GapKind { Element, Character, Word, None };

struct ScheduledElement {
    int onUnits = 0;
    int gapUnits = 0;  // the silence after it; 0 for the last one
    GapKind gap = GapKind::None;
};

// The elements of a text of letters and single spaces.
std::vector<ScheduledElement> Schedule(const std::string& text, GapRules rules);
// Units from the first element's start to the last one's end.
int64_t ScheduledUnits(const std::vector<ScheduledElement>& schedule);

// One keyed element as observed: [startMs, stopMs) on any time base.
struct Span {
    double startMs = 0;
    double stopMs = 0;
};

struct Summary {
    size_t n = 0;
    double median = 0;  // of the absolute errors, ms
    double p95 = 0;
    double max = 0;
    double meanSigned = 0;  // signed mean, ms: > 0 is too long
};
Summary Summarise(const std::vector<double>& signedErrors);

struct Comparison {
    bool aligned = false;      // as many elements observed as scheduled
    size_t observed = 0;       // spans observed, after mending splits
    size_t splits = 0;         // spans found broken in two by missing samples
    size_t shortened = 0;      // elements shorter than nominal by more than 1 ms
    size_t untimed = 0;        // elements left out of the figures
    Summary on;                // on-time vs 1 or 3 units
    Summary gap;               // every gap vs its scheduled length
    Summary elementGap, characterGap, wordGap;
    Summary inWordGap;  // element and character gaps together
    std::vector<Span> spans;  // as compared, splits mended
    size_t Dropouts() const;
};

// Compares observed spans, in order, with the schedule at the given unit.
// Spans closer than half a unit are one element split by a dropout. Spans
// marked in `untimed` count as elements, but neither their on-time nor the
// gaps beside them enter the figures.
Comparison Compare(std::vector<Span> spans, const std::vector<ScheduledElement>& schedule,
                   double unitMs, const std::vector<bool>& untimed = {});

// Morvik's hard-keyed tone: it starts on an exact zero (phase 0) one sample
// before its first non-zero sample; it ends after its last non-zero sample,
// or one sample later when that sample falls on a zero of the sine.
std::vector<Span> HardKeyedSpans(const std::vector<test::Tone>& tones, int64_t periodSamples);

// Tones with soft edges: runs of samples louder than the threshold, joined
// across quieter stretches up to `bridge` samples long (the zero crossings
// of the sine). Edges are the first and last loud samples.
std::vector<Span> ThresholdSpans(const std::vector<int16_t>& samples, int threshold,
                                 size_t bridge);

}  // namespace morvik::bench
