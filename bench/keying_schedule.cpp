#include "keying_schedule.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "support/morse_letters.h"

namespace morvik::bench {

namespace {

constexpr double SampleMs = 1000.0 / static_cast<double>(test::Rate);

}  // namespace

std::vector<ScheduledElement> Schedule(const std::string& text, GapRules rules) {
    std::vector<ScheduledElement> out;
    for (const char c : text) {
        if (c == ' ') {
            if (!out.empty()) {
                out.back().gapUnits = rules.word;
                out.back().gap = GapKind::Word;
            }
            continue;
        }
        const char* code = test::LetterElements(c);
        if (code == nullptr) continue;
        for (const char* e = code; *e != '\0'; ++e) {
            out.push_back({*e == '.' ? 1 : 3, rules.element, GapKind::Element});
        }
        out.back().gapUnits = rules.character;
        out.back().gap = GapKind::Character;
    }
    if (!out.empty()) {
        out.back().gapUnits = 0;
        out.back().gap = GapKind::None;
    }
    return out;
}

int64_t ScheduledUnits(const std::vector<ScheduledElement>& schedule) {
    int64_t units = 0;
    for (const ScheduledElement& e : schedule) units += e.onUnits + e.gapUnits;
    return units;
}

Summary Summarise(const std::vector<double>& signedErrors) {
    Summary s;
    s.n = signedErrors.size();
    if (s.n == 0) return s;
    std::vector<double> a;
    double sum = 0;
    for (const double e : signedErrors) {
        a.push_back(std::abs(e));
        sum += e;
    }
    std::sort(a.begin(), a.end());
    s.median = s.n % 2 == 1 ? a[s.n / 2] : (a[s.n / 2 - 1] + a[s.n / 2]) / 2;
    // Nearest rank.
    const size_t rank = static_cast<size_t>(std::ceil(0.95 * static_cast<double>(s.n)));
    s.p95 = a[std::max<size_t>(rank, 1) - 1];
    s.max = a.back();
    s.meanSigned = sum / static_cast<double>(s.n);
    return s;
}

size_t Comparison::Dropouts() const {
    const size_t missing = aligned ? 0 : 1;
    return splits + shortened + missing;
}

Comparison Compare(std::vector<Span> spans, const std::vector<ScheduledElement>& schedule,
                   double unitMs, const std::vector<bool>& untimed) {
    Comparison c;
    std::vector<Span> mended;
    std::vector<bool> skip;
    for (size_t i = 0; i < spans.size(); ++i) {
        const Span& s = spans[i];
        const bool unknown = i < untimed.size() && untimed[i];
        if (!mended.empty() && s.startMs - mended.back().stopMs < unitMs / 2) {
            mended.back().stopMs = s.stopMs;
            skip.back() = skip.back() || unknown;
            ++c.splits;
        } else {
            mended.push_back(s);
            skip.push_back(unknown);
        }
    }
    if (mended.size() != schedule.size()) {
        // A hole of half a unit or more: walk the schedule and join the
        // pieces that together fit an element far better than the first
        // piece alone.
        std::vector<Span> joined;
        std::vector<bool> joinedSkip;
        size_t i = 0;
        for (size_t j = 0; j < schedule.size() && i < mended.size(); ++j) {
            const double nominal = schedule[j].onUnits * unitMs;
            const double alone = std::abs(mended[i].stopMs - mended[i].startMs - nominal);
            size_t next = i + 1;
            double best = alone;
            for (size_t k = i + 1; alone > unitMs / 4 && k < mended.size() && k < i + 4; ++k) {
                const double length = mended[k].stopMs - mended[i].startMs;
                if (length > nominal + unitMs) break;
                if (std::abs(length - nominal) < best) {
                    best = std::abs(length - nominal);
                    next = k + 1;
                }
            }
            bool unknown = false;
            for (size_t k = i; k < next; ++k) unknown = unknown || skip[k];
            c.splits += next - i - 1;
            joined.push_back({mended[i].startMs, mended[next - 1].stopMs});
            joinedSkip.push_back(unknown);
            i = next;
        }
        for (; i < mended.size(); ++i) {
            joined.push_back(mended[i]);
            joinedSkip.push_back(skip[i]);
        }
        mended = joined;
        skip = joinedSkip;
    }
    c.observed = mended.size();
    c.aligned = mended.size() == schedule.size();
    c.spans = mended;
    if (!c.aligned) return c;
    std::vector<double> on, gap, element, character, word;
    for (size_t i = 0; i < mended.size(); ++i) {
        if (skip[i]) ++c.untimed;
        const double nominalOn = schedule[i].onUnits * unitMs;
        const double heardOn = mended[i].stopMs - mended[i].startMs;
        if (!skip[i]) {
            on.push_back(heardOn - nominalOn);
            if (heardOn < nominalOn - 1.0) ++c.shortened;
        }
        if (i + 1 == mended.size()) break;
        if (skip[i] || skip[i + 1]) continue;
        const double error =
            mended[i + 1].startMs - mended[i].stopMs - schedule[i].gapUnits * unitMs;
        gap.push_back(error);
        switch (schedule[i].gap) {
            case GapKind::Element: element.push_back(error); break;
            case GapKind::Character: character.push_back(error); break;
            case GapKind::Word: word.push_back(error); break;
            case GapKind::None: break;
        }
    }
    c.on = Summarise(on);
    c.gap = Summarise(gap);
    c.elementGap = Summarise(element);
    c.characterGap = Summarise(character);
    c.wordGap = Summarise(word);
    element.insert(element.end(), character.begin(), character.end());
    c.inWordGap = Summarise(element);
    return c;
}

std::vector<Span> HardKeyedSpans(const std::vector<test::Tone>& tones, int64_t periodSamples) {
    std::vector<Span> spans;
    // An even period has two exact zeros, at phase 0 and at its half.
    const int64_t zeroEvery = periodSamples % 2 == 0 ? periodSamples / 2 : periodSamples;
    for (const test::Tone& t : tones) {
        const double start = static_cast<double>(t.first) - 1;
        double stop = static_cast<double>(t.last) + 1;
        // The sample after the last loud one sits on a zero of the sine:
        // silence or the tone's own zero cannot be told apart there, so the
        // edge is taken half a sample later.
        const int64_t phase = static_cast<int64_t>(t.last) + 1 - (static_cast<int64_t>(t.first) - 1);
        if (zeroEvery > 0 && phase % zeroEvery == 0) stop += 0.5;
        spans.push_back({start * SampleMs, stop * SampleMs});
    }
    return spans;
}

std::vector<Span> ThresholdSpans(const std::vector<int16_t>& samples, int threshold,
                                 size_t bridge) {
    std::vector<std::pair<size_t, size_t>> runs;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(static_cast<int>(samples[i])) <= threshold) continue;
        if (runs.empty() || i - runs.back().second > bridge) {
            runs.push_back({i, i});
        } else {
            runs.back().second = i;
        }
    }
    std::vector<Span> spans;
    for (const auto& [first, last] : runs) {
        spans.push_back({static_cast<double>(first) * SampleMs,
                         static_cast<double>(last + 1) * SampleMs});
    }
    return spans;
}

}  // namespace morvik::bench
