#include "settings/settings_rules.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "kit/text.h"

namespace idlewarden {

TextSpan valueText(const TextSpan& value) {
    const void* nul = value.length == 0 ? nullptr : std::memchr(value.start, '\0', value.length);
    if (nul == nullptr) return value;
    return TextSpan{value.start, static_cast<uint32_t>(static_cast<const char*>(nul) - value.start)};
}

bool enabledSwitchesOn(const TextSpan& value) {
    const TextSpan text = valueText(value);
    if (text.length == 0) return false;
    const char first[2] = {text.start[0], '\0'};
    return isNumeric(first) && textToNumber(first, 10) > 0;
}

AfkTimeReading readAfkTime(const TextSpan& value) {
    // The same reading as isNumeric and textToNumber give the whole text,
    // done on the span so that a long value is never copied.
    const TextSpan text = valueText(value);
    AfkTimeReading reading;
    uint32_t i = 0;
    const bool negative = text.length > 0 && text.start[0] == '-';
    if (negative) i = 1;
    if (i == text.length) return reading;
    uint32_t number = 0;  // modulo 2^32, as textToNumber wraps
    bool beyond = false;  // the magnitude is over 65535
    for (; i < text.length; ++i) {
        const char c = text.start[i];
        if (c < '0' || c > '9') return reading;
        number = number * 10u + static_cast<uint32_t>(c - '0');
        beyond = beyond || number > 0xFFFFu;
    }
    if (negative) number = 0u - number;
    reading.usable = true;
    reading.minutes = static_cast<uint16_t>(number & 0xFFFFu);
    reading.wrapped = beyond || (negative && reading.minutes != 0);
    return reading;
}

uint32_t nameKeyNumber(const TextSpan& key) {
    static const char prefix[] = "name";
    constexpr uint32_t prefixLength = sizeof prefix - 1;
    if (key.length <= prefixLength || key.length > prefixLength + 10) return 0;
    for (uint32_t i = 0; i < prefixLength; ++i) {
        if (toLowerAscii(key.start[i]) != prefix[i]) return 0;
    }
    if (key.start[prefixLength] == '0') return 0;
    uint64_t k = 0;
    for (uint32_t i = prefixLength; i < key.length; ++i) {
        const char c = key.start[i];
        if (c < '0' || c > '9') return 0;
        k = k * 10 + static_cast<uint32_t>(c - '0');
    }
    return k > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(k);
}

uint32_t storedName(const TextSpan& value, char (&into)[ExemptName::Size]) {
    std::memset(into, 0, sizeof into);
    const TextSpan text = valueText(value);
    const uint32_t n = std::min(text.length, ExemptName::MaxLength);
    std::memcpy(into, text.start, n);
    return n;
}

namespace {

// A name in its compared form: the stored form with its letters lowered,
// zero-padded to three words.
struct Form {
    uint64_t word[3];

    static Form of(const char (&stored)[ExemptName::Size]) {
        char lowered[sizeof(Form::word)] = {};
        for (uint32_t i = 0; i < ExemptName::Size && stored[i] != '\0'; ++i) lowered[i] = toLowerAscii(stored[i]);
        Form form;
        std::memcpy(form.word, lowered, sizeof form.word);
        return form;
    }
    bool operator==(const Form& other) const {
        return word[0] == other.word[0] && word[1] == other.word[1] && word[2] == other.word[2];
    }
};
static_assert(sizeof(Form) >= ExemptName::Size);

// The temporary index of one load: an open-addressing hash set of forms,
// each with its place (the list's records first, then the plan's lines).
// Sized once for every place, so at most half full: O(1) per name. A slot
// is one word (high half: more bits of the hash; low half: place + 1, 0
// when free), the forms lie apart by place, so that the probed table stays
// small. One allocation holds both. The hash is seeded per load (from a
// heap address), so that a file cannot be prepared against one fixed
// function.
struct FormIndex {
    static constexpr uint32_t Empty = 0xFFFFFFFFu;

    uint64_t* block = nullptr;
    Form* forms = nullptr;  // by place
    uint64_t* slots = nullptr;
    uint64_t mask = 0;
    uint64_t key = 0;

    FormIndex() = default;
    ~FormIndex() { delete[] block; }
    FormIndex(const FormIndex&) = delete;
    FormIndex& operator=(const FormIndex&) = delete;

    bool make(uint64_t places, uint64_t seed) {
        uint64_t size = 16;
        while (size < 2 * places) size *= 2;
        if (places >= 0xFFFFFFFFu) return false;
        constexpr uint64_t formWords = sizeof(Form) / sizeof(uint64_t);
        block = new (std::nothrow) uint64_t[places * formWords + size];
        if (block == nullptr) return false;
        static_assert(alignof(Form) == alignof(uint64_t));
        forms = reinterpret_cast<Form*>(block);
        slots = block + places * formWords;
        for (uint64_t i = 0; i < size; ++i) slots[i] = 0;
        mask = size - 1;
        key = seed | 1u;
        return true;
    }

    uint64_t hash(const Form& form) const {
        uint64_t h = key;
        for (const uint64_t w : form.word) {
            h = (h ^ w) * 0x9E3779B97F4A7C15u;
            h ^= h >> 29;
        }
        return h;
    }

    void prefetch(uint64_t h) const { __builtin_prefetch(&slots[h & mask]); }

    // The place already held by `form` (whose hash is `h`), or Empty after
    // putting it in at `place`.
    uint32_t findOrAdd(const Form& form, uint64_t h, uint32_t place) {
        const uint64_t tag = h & 0xFFFFFFFF00000000u;
        for (uint64_t i = h & mask;; i = (i + 1) & mask) {
            const uint64_t slot = slots[i];
            if (slot == 0) {
                slots[i] = tag | (uint64_t{place} + 1);
                forms[place] = form;
                return Empty;
            }
            const auto held = static_cast<uint32_t>(slot) - 1;
            if ((slot & 0xFFFFFFFF00000000u) == tag && forms[held] == form) return held;
        }
    }
};

}  // namespace

bool NamePlan::make(const String& text, const ExemptList& list) {
    delete[] lines;
    lines = nullptr;
    count = 0;
    uint32_t keys = 0;
    iniForEachKey(text, ExemptionsSection, [&](const TextSpan& key, const TextSpan&) {
        if (nameKeyNumber(key) != 0) ++keys;
        return true;
    });
    if (keys == 0) return true;
    lines = new (std::nothrow) NameLine[keys];
    if (lines == nullptr) return false;
    iniForEachKey(text, ExemptionsSection, [&](const TextSpan& key, const TextSpan& value) {
        const uint32_t number = nameKeyNumber(key);
        if (number != 0 && count < keys) {
            lines[count++] = NameLine{value.start, value.length, number, NameLine::NoLine, NameFate::Loaded};
        }
        return true;
    });
    // In K order; of two lines with one K the earlier in the file first (the
    // values lie in the text in file order). A saved file is in order already.
    const auto before = [](const NameLine& a, const NameLine& b) {
        return a.number != b.number ? a.number < b.number : a.start < b.start;
    };
    if (!std::is_sorted(lines, lines + count, before)) std::sort(lines, lines + count, before);
    char stored[ExemptName::Size];
    uint32_t candidates = 0;
    uint32_t firstOfNumber = 0;
    for (uint32_t i = 0; i < count; ++i) {
        NameLine& line = lines[i];
        if (i > 0 && line.number == lines[i - 1].number) {
            line.fate = NameFate::RepeatedKey;
            line.repeats = firstOfNumber;
            continue;
        }
        firstOfNumber = i;
        if (storedName(line.value(), stored) == 0) {
            line.fate = NameFate::Empty;
        } else {
            ++candidates;
        }
    }
    if (candidates == 0) return true;

    // Every record of the list, then each candidate in K order: the first
    // place of a form keeps its name, every later line is a duplicate.
    FormIndex index;
    if (!index.make(uint64_t{list.nodeCount} + count, reinterpret_cast<uintptr_t>(lines))) {
        delete[] lines;
        lines = nullptr;
        count = 0;
        return false;
    }
    uint32_t listed = 0;
    for (auto* node = list.firstNode; node != nullptr && listed < list.nodeCount; node = node->nextNode) {
        const Form form = Form::of(node->item->text);
        index.findOrAdd(form, index.hash(form), listed++);
    }
    // The candidates go in in K order, each hashed a few lines ahead so that
    // its slot is on its way from memory when its turn comes.
    constexpr uint32_t Ahead = 8;
    struct Pending {
        Form form;
        uint64_t hash;
        uint32_t line;
    } ahead[Ahead];
    uint32_t next = 0, oldest = 0, waiting = 0;
    const auto hashNext = [&] {
        while (next < count && lines[next].fate != NameFate::Loaded) ++next;
        if (next == count) return false;
        Pending& p = ahead[(oldest + waiting++) % Ahead];
        storedName(lines[next].value(), stored);
        p.form = Form::of(stored);
        p.hash = index.hash(p.form);
        p.line = next++;
        index.prefetch(p.hash);
        return true;
    };
    while (waiting < Ahead && hashNext()) {
    }
    while (waiting > 0) {
        const Pending p = ahead[oldest];
        oldest = (oldest + 1) % Ahead;
        --waiting;
        hashNext();
        const uint32_t first = index.findOrAdd(p.form, p.hash, listed + p.line);
        if (first != FormIndex::Empty) {
            NameLine& line = lines[p.line];
            line.fate = NameFate::AlreadyListed;
            line.repeats = first >= listed ? first - listed : NameLine::NoLine;
        }
    }
    return true;
}

}  // namespace idlewarden
