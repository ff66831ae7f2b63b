#include "framework/file/lzss_encoder.h"

#include <algorithm>

#include "framework/file/lzss_decoder.h"

namespace {

constexpr std::size_t kHashBits = 13;
constexpr std::size_t kHashSize = std::size_t{1} << kHashBits;
constexpr std::size_t kMaxDistance = kLzssRingSize;  // distance 4096 is ring position r itself
constexpr int kMaxChain = 48;
constexpr int32_t kNone = -1;

struct Match {
    std::size_t length = 0;
    std::size_t distance = 0;
};

class MatchFinder {
public:
    MatchFinder(const uint8_t* data, std::size_t size)
        : data_(data), size_(size), head_(kHashSize, kNone), previous_(size, kNone) {}

    // Records position `pos` (needs 3 bytes from it) in the chains.
    void Insert(std::size_t pos) {
        if (pos + kLzssMinMatch > size_ || pos < inserted_) return;
        std::size_t h = Hash(pos);
        previous_[pos] = head_[h];
        head_[h] = static_cast<int32_t>(pos);
        inserted_ = pos + 1;
    }

    // Longest match for the bytes at `pos` among earlier positions.
    Match Find(std::size_t pos) const {
        Match best;
        if (pos + kLzssMinMatch > size_) return best;
        std::size_t limit = std::min(kLzssMaxMatch, size_ - pos);
        int chain = kMaxChain;
        for (int32_t cand = head_[Hash(pos)]; cand != kNone && chain-- > 0;
             cand = previous_[static_cast<std::size_t>(cand)]) {
            std::size_t c = static_cast<std::size_t>(cand);
            if (c >= pos) continue;
            std::size_t distance = pos - c;
            if (distance > kMaxDistance) break;
            std::size_t length = 0;
            while (length < limit && data_[c + length] == data_[pos + length]) ++length;
            if (length > best.length) {
                best.length = length;
                best.distance = distance;
                if (length == limit) break;
            }
        }
        if (best.length < kLzssMinMatch) best = Match{};
        return best;
    }

private:
    std::size_t Hash(std::size_t pos) const {
        uint32_t v = data_[pos] | (uint32_t{data_[pos + 1]} << 8) | (uint32_t{data_[pos + 2]} << 16);
        return (v * 2654435761u) >> (32 - kHashBits);
    }

    const uint8_t* data_;
    std::size_t size_;
    std::vector<int32_t> head_;
    std::vector<int32_t> previous_;
    std::size_t inserted_ = 0;
};

class GroupWriter {
public:
    explicit GroupWriter(std::vector<uint8_t>& out) : out_(out) {}

    void Literal(uint8_t byte) {
        Begin(1);
        out_.push_back(byte);
    }

    // A reference, from output position `pos`, to `distance` bytes back.
    void Reference(std::size_t pos, std::size_t distance, std::size_t length) {
        Begin(0);
        std::size_t ring = (kLzssRingStart + pos - distance) & (kLzssRingSize - 1);
        out_.push_back(static_cast<uint8_t>(ring & 0xFF));
        out_.push_back(static_cast<uint8_t>(((ring >> 4) & 0xF0) | (length - kLzssMinMatch)));
    }

private:
    void Begin(unsigned bit) {
        if (items_ == 8) {
            flagIndex_ = out_.size();
            out_.push_back(0);
            items_ = 0;
        }
        out_[flagIndex_] |= static_cast<uint8_t>(bit << items_);
        ++items_;
    }

    std::vector<uint8_t>& out_;
    std::size_t flagIndex_ = 0;
    int items_ = 8;
};

}  // namespace

std::vector<uint8_t> LzssEncode(const uint8_t* data, std::size_t size) {
    std::vector<uint8_t> out;
    if (data == nullptr || size == 0) return out;
    out.reserve(size + size / 8 + 16);
    MatchFinder finder(data, size);
    GroupWriter writer(out);

    std::size_t pos = 0;
    while (pos < size) {
        Match here = finder.Find(pos);
        if (here.length >= kLzssMinMatch && here.length < kLzssMaxMatch && pos + 1 < size) {
            // Lazy step: a longer match one byte later is worth a literal.
            finder.Insert(pos);
            Match next = finder.Find(pos + 1);
            if (next.length > here.length + 1) {
                writer.Literal(data[pos]);
                ++pos;
                continue;
            }
        }
        if (here.length >= kLzssMinMatch) {
            writer.Reference(pos, here.distance, here.length);
            for (std::size_t k = 0; k < here.length; ++k) finder.Insert(pos + k);
            pos += here.length;
        } else {
            writer.Literal(data[pos]);
            finder.Insert(pos);
            ++pos;
        }
    }
    return out;
}

std::vector<uint8_t> LzssEncode(const std::vector<uint8_t>& data) {
    return LzssEncode(data.data(), data.size());
}
