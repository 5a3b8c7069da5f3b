#include "translation/mo_catalogue.h"

#include <cstring>

#include "translation/translation_error.h"

namespace quorvex::translation {

namespace {

constexpr std::uint64_t kHeaderSize = 20;
constexpr std::uint64_t kEntrySize = 8;

std::uint32_t ByteSwap(std::uint32_t value) {
    return (value >> 24) | ((value >> 8) & 0x0000ff00u) | ((value << 8) & 0x00ff0000u) |
           (value << 24);
}

// A 32-bit number in this machine's order; the caller has checked that it lies inside.
std::uint32_t NativeWord(std::string_view bytes, std::uint64_t offset) {
    std::uint32_t value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

// A table of `count` entries at `offset` lies wholly inside `size` bytes.
bool TableFits(std::uint64_t offset, std::uint64_t count, std::uint64_t size) {
    return offset <= size && count * kEntrySize <= size - offset;
}

// The string up to its first NUL.
std::string_view UpToNul(std::string_view text) {
    const std::size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

}  // namespace

std::optional<MoCatalogue> MoCatalogue::Parse(std::string_view bytes) {
    if (bytes.size() < kHeaderSize) return std::nullopt;
    const std::uint32_t magic = NativeWord(bytes, 0);
    bool swapped;
    if (magic == kMagic) {
        swapped = false;
    } else if (magic == kSwappedMagic) {
        swapped = true;
    } else {
        return std::nullopt;
    }
    auto word = [&](std::uint64_t offset) {
        const std::uint32_t value = NativeWord(bytes, offset);
        return swapped ? ByteSwap(value) : value;
    };
    // The revision at offset 4 is not needed; the hash table is not used.
    const std::uint32_t count = word(8);
    const std::uint32_t originals = word(12);
    const std::uint32_t translations = word(16);
    if (!TableFits(originals, count, bytes.size()) ||
        !TableFits(translations, count, bytes.size())) {
        return std::nullopt;
    }
    return MoCatalogue(bytes, swapped, count, originals, translations);
}

std::uint32_t MoCatalogue::Word(std::uint64_t offset) const {
    const std::uint32_t value = NativeWord(bytes_, offset);
    return swapped_ ? ByteSwap(value) : value;
}

std::optional<std::string_view> MoCatalogue::String(std::uint32_t table,
                                                    std::uint32_t index) const {
    if (index >= count_) return std::nullopt;
    const std::uint64_t entry = std::uint64_t{table} + std::uint64_t{index} * kEntrySize;
    const std::uint64_t length = Word(entry);
    const std::uint64_t offset = Word(entry + 4);
    if (offset > bytes_.size() || length > bytes_.size() - offset) return std::nullopt;
    return UpToNul(bytes_.substr(offset, length));
}

std::optional<std::string_view> MoCatalogue::Original(std::uint32_t index) const {
    return String(originals_, index);
}

std::optional<std::string_view> MoCatalogue::Translation(std::uint32_t index) const {
    return String(translations_, index);
}

std::optional<std::string_view> MoCatalogue::Find(std::string_view original) const {
    if (count_ == 0) return std::nullopt;
    // Start at 2^k - 1, 2^k the largest power of two not above N, with step 2^(k-1); after
    // each comparison move by the step (kept inside 0 .. N-1) and halve it. The comparison
    // made with step 0 is the last.
    std::uint32_t power = 1;
    while (power <= count_ / 2) power *= 2;
    std::uint32_t index = power - 1;
    std::uint32_t step = power / 2;
    for (;;) {
        const std::optional<std::string_view> candidate = Original(index);
        if (!candidate) return std::nullopt;
        const int order = original.compare(*candidate);
        if (order == 0) return Translation(index);
        if (step == 0) return std::nullopt;
        if (order < 0) {
            index = index >= step ? index - step : 0;
        } else {
            index = count_ - 1 - index >= step ? index + step : count_ - 1;
        }
        step /= 2;
    }
}

std::string WithoutCarriageReturns(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        if (c != '\r') result += c;
    }
    return result;
}

std::string WithCarriageReturns(std::string_view text) {
    std::string result;
    result.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) result += '\r';
        result += text[i];
    }
    return result;
}

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length;
        std::uint32_t value;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xc2 && lead <= 0xdf) {
            length = 2;
            value = lead & 0x1fu;
        } else if (lead >= 0xe0 && lead <= 0xef) {
            length = 3;
            value = lead & 0x0fu;
        } else if (lead >= 0xf0 && lead <= 0xf4) {
            length = 4;
            value = lead & 0x07u;
        } else {
            return false;
        }
        if (text.size() - i < length) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xc0u) != 0x80u) return false;
            value = (value << 6) | (next & 0x3fu);
        }
        const bool overlong = (length == 3 && value < 0x800) || (length == 4 && value < 0x10000);
        if (overlong || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff)) return false;
        i += length;
    }
    return true;
}

std::string TranslateWith(const MoCatalogue& catalogue, std::string_view text) {
    if (text.empty()) return {};
    const std::string key = WithoutCarriageReturns(text);
    // A text of nothing but CRs would otherwise find the catalogue's header entry.
    if (key.empty()) return std::string(text);
    const std::optional<std::string_view> found = catalogue.Find(key);
    if (!found) return std::string(text);
    std::string translation = WithCarriageReturns(*found);
    // A translation that is not UTF-8 decodes to nothing.
    if (!IsValidUtf8(translation)) translation.clear();
    if (translation.empty()) {
        throw ETranslationError("Error: Could not translate " + std::string(text) +
                                ". Probably because the mo file doesn't contain utf-8 encoded "
                                "translations.");
    }
    return translation;
}

}  // namespace quorvex::translation
