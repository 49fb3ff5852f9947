#include "archive/decoders/ppmd_h.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace lumora::archive {

namespace {

constexpr std::uint32_t kUnit = 12;
constexpr std::uint32_t kStateSize = 6;
constexpr unsigned kPeriodBits = 7;
constexpr unsigned kTotBits = 14;
constexpr unsigned kInterval = 1u << 7;
constexpr unsigned kBinScale = 1u << kTotBits;
constexpr unsigned kMaxFreq = 124;
constexpr std::uint16_t kGlueStamp = 0xFFFF;
constexpr std::uint8_t kExpEscape[16] = {25, 14, 9, 7, 5, 5, 4, 4, 4, 3, 3, 3, 2, 2, 2, 2};
constexpr std::uint16_t kInitBinEsc[8] = {0x3CDD, 0x1F3F, 0x59BF, 0x48F3,
                                          0x64A1, 0x5ABC, 0x6632, 0x6051};

// The binary contexts' starting escape estimates, the same at every restart.
constexpr auto kInitBinSumm = [] {
    std::array<std::array<std::uint16_t, 64>, 128> t{};
    for (unsigned i = 0; i < 128; ++i) {
        for (unsigned k = 0; k < 8; ++k) {
            for (unsigned m = 0; m < 64; m += 8)
                t[i][k + m] = static_cast<std::uint16_t>(kBinScale - kInitBinEsc[k] / (i + 2));
        }
    }
    return t;
}();

// The root context's states at a restart: every byte once, no successor.
constexpr auto kInitRootStates = [] {
    std::array<std::uint8_t, 256 * kStateSize> t{};
    for (unsigned i = 0; i < 256; ++i) {
        t[i * kStateSize] = static_cast<std::uint8_t>(i);
        t[i * kStateSize + 1] = 1;
    }
    return t;
}();

unsigned BinMean(unsigned summ) {
    return (summ + (1u << (kPeriodBits - 2))) >> kPeriodBits;
}

}  // namespace

void PpmdH::See2::Init(unsigned value) {
    shift = kPeriodBits - 4;
    summ = static_cast<std::uint16_t>(value << shift);
    count = 4;
}

unsigned PpmdH::See2::Mean() {
    const unsigned r = summ >> shift;
    summ = static_cast<std::uint16_t>(summ - r);
    return r + (r == 0);
}

void PpmdH::See2::Update() {
    if (shift < kPeriodBits && --count == 0) {
        summ = static_cast<std::uint16_t>(summ + summ);
        count = static_cast<std::uint8_t>(3u << shift++);
    }
}

PpmdH::PpmdH() {
    // Block sizes in units per free-list index: 4 steps each of 1, 2 and 3
    // units, then steps of 4 up to 128.
    unsigned k = 1;
    int i = 0;
    for (const auto& [count, step] : {std::pair{4, 1}, {4, 2}, {4, 3}, {26, 4}}) {
        if (i != 0) ++k;
        for (int n = 0; n < count; ++n, ++i, k += step) {
            indexUnits_[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(k);
        }
    }
    for (unsigned units = 1, index = 0; units <= 128; ++units) {
        index += indexUnits_[index] < units;
        unitsIndex_[units - 1] = static_cast<std::uint8_t>(index);
    }
    ns2BsIndex_[0] = 0;
    ns2BsIndex_[1] = 2;
    std::fill(ns2BsIndex_.begin() + 2, ns2BsIndex_.begin() + 11, std::uint8_t{4});
    std::fill(ns2BsIndex_.begin() + 11, ns2BsIndex_.end(), std::uint8_t{6});
    // Escape-estimate classes: one per count up to 3, then ever wider runs.
    unsigned c = 0;
    for (; c < 3; ++c) ns2Index_[c] = static_cast<std::uint8_t>(c);
    for (unsigned m = c, left = 1, step = 1; c < 256; ++c) {
        ns2Index_[c] = static_cast<std::uint8_t>(m);
        if (--left == 0) {
            left = ++step;
            ++m;
        }
    }
    std::fill(hb2Flag_.begin(), hb2Flag_.begin() + 0x40, std::uint8_t{0});
    std::fill(hb2Flag_.begin() + 0x40, hb2Flag_.end(), std::uint8_t{8});
}

// --- heap access ---------------------------------------------------------

PpmdH::State PpmdH::Load(std::uint32_t s) const {
    return {Sym(s), Freq(s), Successor(s)};
}

void PpmdH::Store(std::uint32_t s, const State& v) {
    heap_[s] = v.symbol;
    heap_[s + 1] = v.freq;
    Set32(s + 2, v.successor);
}

void PpmdH::SwapStates(std::uint32_t a, std::uint32_t b) {
    std::uint8_t tmp[kStateSize];
    std::memcpy(tmp, &heap_[a], kStateSize);
    std::memmove(&heap_[a], &heap_[b], kStateSize);
    std::memcpy(&heap_[b], tmp, kStateSize);
}

std::uint32_t PpmdH::FindState(std::uint32_t ctx, std::uint8_t sym) const {
    const std::uint32_t stats = Stats(ctx);
    const std::uint32_t n = NumStats(ctx);
    if (stats > heapSize_ || n * kStateSize > heapSize_ - stats) return 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        if (Sym(stats + i * kStateSize) == sym) return stats + i * kStateSize;
    }
    return 0;
}

bool PpmdH::ContextOk(std::uint32_t ctx) const {
    return ctx > text_ && ctx <= heapSize_ - kUnit;
}

// --- sub-allocator -------------------------------------------------------

bool PpmdH::AllocateHeap(std::size_t bytes) {
    if (heap_ && heapSize_ == bytes) return true;
    heap_.reset();
    heapSize_ = 0;
    // A zeroed guard unit after the model ends the gluing of free blocks;
    // the unit after it heads the glue list.
    heap_ = std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[bytes + 2 * kUnit]);
    if (!heap_) return false;
    heapSize_ = static_cast<std::uint32_t>(bytes);
    std::memset(&heap_[bytes], 0, 2 * kUnit);
    return true;
}

void PpmdH::InitSubAllocator() {
    freeList_.fill(0);
    text_ = 0;
    const std::uint32_t size2 = kUnit * (heapSize_ / 8 / kUnit * 7);
    loUnit_ = unitsStart_ = heapSize_ - size2;
    hiUnit_ = heapSize_;
    glueCount_ = 0;
}

void PpmdH::InsertNode(std::uint32_t p, int index) {
    Set32(p, freeList_[static_cast<std::size_t>(index)]);
    freeList_[static_cast<std::size_t>(index)] = p;
}

std::uint32_t PpmdH::RemoveNode(int index) {
    const std::uint32_t p = freeList_[static_cast<std::size_t>(index)];
    freeList_[static_cast<std::size_t>(index)] = Get32(p);
    return p;
}

void PpmdH::SplitBlock(std::uint32_t p, int oldIndex, int newIndex) {
    unsigned diff = indexUnits_[static_cast<std::size_t>(oldIndex)] -
                    indexUnits_[static_cast<std::size_t>(newIndex)];
    p += indexUnits_[static_cast<std::size_t>(newIndex)] * kUnit;
    int i = unitsIndex_[diff - 1];
    if (indexUnits_[static_cast<std::size_t>(i)] != diff) {
        InsertNode(p, --i);
        const unsigned k = indexUnits_[static_cast<std::size_t>(i)];
        p += k * kUnit;
        diff -= k;
    }
    InsertNode(p, unitsIndex_[diff - 1]);
}

// Joins neighbouring free blocks: every free block is stamped, put on one
// list, merged with the stamped blocks right after it, then handed back to
// the free lists in the largest pieces that fit.
void PpmdH::GlueFreeBlocks() {
    // Glue list entries: stamp (16 bits), units (16 bits), next, previous.
    const std::uint32_t head = heapSize_ + kUnit;
    auto next = [this](std::uint32_t p) { return Get32(p + 4); };
    auto prev = [this](std::uint32_t p) { return Get32(p + 8); };
    auto unlink = [&](std::uint32_t p) {
        Set32(prev(p) + 4, next(p));
        Set32(next(p) + 8, prev(p));
    };
    if (loUnit_ != hiUnit_) heap_[loUnit_] = 0;
    Set32(head + 4, head);
    Set32(head + 8, head);
    for (int i = 0; i < kIndexes; ++i) {
        while (freeList_[static_cast<std::size_t>(i)] != 0) {
            const std::uint32_t p = RemoveNode(i);
            Set32(p + 8, head);
            Set32(p + 4, next(head));
            Set32(next(head) + 8, p);
            Set32(head + 4, p);
            Set16(p, kGlueStamp);
            Set16(p + 2, indexUnits_[static_cast<std::size_t>(i)]);
        }
    }
    for (std::uint32_t p = next(head); p != head; p = next(p)) {
        for (;;) {
            const std::uint32_t p1 = p + Get16(p + 2) * kUnit;
            if (p1 >= heapSize_ || Get16(p1) != kGlueStamp ||
                Get16(p + 2) + Get16(p1 + 2) >= 0x10000) {
                break;
            }
            unlink(p1);
            Set16(p + 2, Get16(p + 2) + Get16(p1 + 2));
        }
    }
    for (std::uint32_t p = next(head); p != head; p = next(head)) {
        unlink(p);
        unsigned size = Get16(p + 2);
        for (; size > 128; size -= 128, p += 128 * kUnit) InsertNode(p, kIndexes - 1);
        int i = unitsIndex_[size - 1];
        if (indexUnits_[static_cast<std::size_t>(i)] != size) {
            const unsigned k = size - indexUnits_[static_cast<std::size_t>(--i)];
            InsertNode(p + (size - k) * kUnit, static_cast<int>(k) - 1);
        }
        InsertNode(p, i);
    }
}

std::uint32_t PpmdH::AllocUnitsRare(int index) {
    if (glueCount_ == 0) {
        glueCount_ = 255;
        GlueFreeBlocks();
        if (freeList_[static_cast<std::size_t>(index)] != 0) return RemoveNode(index);
    }
    int i = index;
    do {
        if (++i == kIndexes) {
            --glueCount_;
            const std::uint32_t bytes = indexUnits_[static_cast<std::size_t>(index)] * kUnit;
            if (unitsStart_ > text_ && unitsStart_ - text_ > bytes) {
                unitsStart_ -= bytes;
                return unitsStart_;
            }
            return 0;
        }
    } while (freeList_[static_cast<std::size_t>(i)] == 0);
    const std::uint32_t p = RemoveNode(i);
    SplitBlock(p, i, index);
    return p;
}

std::uint32_t PpmdH::AllocUnits(unsigned units) {
    const int index = unitsIndex_[units - 1];
    if (freeList_[static_cast<std::size_t>(index)] != 0) return RemoveNode(index);
    const std::uint32_t bytes = indexUnits_[static_cast<std::size_t>(index)] * kUnit;
    if (hiUnit_ - loUnit_ >= bytes) {
        const std::uint32_t p = loUnit_;
        loUnit_ += bytes;
        return p;
    }
    return AllocUnitsRare(index);
}

std::uint32_t PpmdH::AllocContext() {
    if (hiUnit_ != loUnit_) return hiUnit_ -= kUnit;
    if (freeList_[0] != 0) return RemoveNode(0);
    return AllocUnitsRare(0);
}

std::uint32_t PpmdH::ExpandUnits(std::uint32_t p, unsigned oldUnits) {
    const int i0 = unitsIndex_[oldUnits - 1];
    const int i1 = unitsIndex_[oldUnits];
    if (i0 == i1) return p;
    const std::uint32_t q = AllocUnits(oldUnits + 1);
    if (q != 0) {
        std::memmove(&heap_[q], &heap_[p], oldUnits * kUnit);
        InsertNode(p, i0);
    }
    return q;
}

std::uint32_t PpmdH::ShrinkUnits(std::uint32_t p, unsigned oldUnits, unsigned newUnits) {
    const int i0 = unitsIndex_[oldUnits - 1];
    const int i1 = unitsIndex_[newUnits - 1];
    if (i0 == i1) return p;
    if (freeList_[static_cast<std::size_t>(i1)] != 0) {
        const std::uint32_t q = RemoveNode(i1);
        std::memmove(&heap_[q], &heap_[p], newUnits * kUnit);
        InsertNode(p, i0);
        return q;
    }
    SplitBlock(p, i0, i1);
    return p;
}

void PpmdH::FreeUnits(std::uint32_t p, unsigned units) {
    InsertNode(p, unitsIndex_[units - 1]);
}

// --- model ---------------------------------------------------------------

void PpmdH::RestartModel() {
    charMask_.fill(0);
    InitSubAllocator();
    initRunLength_ = -std::min(maxOrder_, 12) - 1;
    minContext_ = maxContext_ = AllocContext();
    Set32(minContext_ + 8, 0);
    orderFall_ = maxOrder_;
    Set16(minContext_, 256);
    Set16(minContext_ + 2, 257);
    foundState_ = AllocUnits(128);
    Set32(minContext_ + 4, foundState_);
    std::memcpy(&heap_[foundState_], kInitRootStates.data(), kInitRootStates.size());
    runLength_ = initRunLength_;
    prevSuccess_ = 0;
    binSumm_ = kInitBinSumm;
    for (unsigned i = 0; i < 25; ++i) {
        See2 start;
        start.Init(5 * i + 10);
        see2_[i].fill(start);
    }
}

void PpmdH::StartModel(int maxOrder) {
    escCount_ = 1;
    maxOrder_ = maxOrder;
    RestartModel();
    dummySee2_.shift = kPeriodBits;
}

void PpmdH::ClearMask() {
    escCount_ = 1;
    charMask_.fill(0);
}

PpmdH::Start PpmdH::StartBlock(RarBitInput& in, int& escChar, std::size_t memoryCap) {
    const int flags = in.GetByte();
    if (flags < 0) return Start::kBad;
    const bool reset = (flags & 0x20) != 0;
    int megabytes = 0;
    if (reset) {
        megabytes = in.GetByte();
        if (megabytes < 0) return Start::kBad;
    } else if (!ready_) {
        return Start::kBad;
    }
    if (flags & 0x40) {
        const int esc = in.GetByte();
        if (esc < 0) return Start::kBad;
        escChar = esc;
    }
    coder_.Init(in);
    if (reset) {
        ready_ = false;
        int order = (flags & 0x1F) + 1;
        if (order > 16) order = 16 + (order - 16) * 3;
        if (order == 1) return Start::kBad;
        const std::size_t bytes = static_cast<std::size_t>(megabytes + 1) << 20;
        if (bytes > memoryCap || !AllocateHeap(bytes)) return Start::kNoMemory;
        StartModel(order);
        ready_ = true;
    }
    return ready_ ? Start::kOk : Start::kBad;
}

bool PpmdH::DecodeBinSymbol() {
    const std::uint32_t rs = OneState(minContext_);
    const std::uint32_t suffix = Suffix(minContext_);
    const unsigned freq = Freq(rs);
    if (foundState_ == 0 || !ContextOk(suffix) || freq == 0 || freq > 128) return false;
    const unsigned suffixStats = NumStats(suffix);
    if (suffixStats == 0 || suffixStats > 256) return false;
    hiBitsFlag_ = hb2Flag_[Sym(foundState_)];
    std::uint16_t& bs =
        binSumm_[freq - 1][prevSuccess_ + ns2BsIndex_[suffixStats - 1] + hiBitsFlag_ +
                           2 * hb2Flag_[Sym(rs)] + ((runLength_ >> 26) & 0x20)];
    if (coder_.CountShift(kTotBits) < bs) {
        foundState_ = rs;
        SetFreq(rs, freq + (freq < 128));
        lowCount_ = 0;
        highCount_ = bs;
        bs = static_cast<std::uint16_t>(bs + kInterval - BinMean(bs));
        prevSuccess_ = 1;
        ++runLength_;
    } else {
        lowCount_ = bs;
        bs = static_cast<std::uint16_t>(bs - BinMean(bs));
        highCount_ = kBinScale;
        initEsc_ = kExpEscape[bs >> 10];
        numMasked_ = 1;
        charMask_[Sym(rs)] = escCount_;
        prevSuccess_ = 0;
        foundState_ = 0;
    }
    return true;
}

void PpmdH::Update1(std::uint32_t p) {
    foundState_ = p;
    SetFreq(p, Freq(p) + 4u);
    Set16(minContext_ + 2, SummFreq(minContext_) + 4);
    if (Freq(p) > Freq(p - kStateSize)) {
        SwapStates(p, p - kStateSize);
        foundState_ = p -= kStateSize;
        if (Freq(p) > kMaxFreq) Rescale();
    }
}

bool PpmdH::DecodeSymbol1() {
    const std::uint32_t ctx = minContext_;
    scale_ = SummFreq(ctx);
    std::uint32_t p = Stats(ctx);
    const std::uint32_t count = coder_.Count(scale_);
    if (count >= scale_) return false;
    unsigned hiCnt = Freq(p);
    if (count < hiCnt) {
        highCount_ = hiCnt;
        prevSuccess_ = 2 * hiCnt > scale_;
        runLength_ += prevSuccess_;
        foundState_ = p;
        hiCnt += 4;
        SetFreq(p, hiCnt);
        Set16(ctx + 2, SummFreq(ctx) + 4);
        if (hiCnt > kMaxFreq) Rescale();
        lowCount_ = 0;
        return true;
    }
    if (foundState_ == 0) return false;
    prevSuccess_ = 0;
    unsigned left = NumStats(ctx) - 1;
    while ((hiCnt += Freq(p += kStateSize)) <= count) {
        if (--left == 0) {
            // Escape: every symbol of the context is masked for the suffixes.
            hiBitsFlag_ = hb2Flag_[Sym(foundState_)];
            lowCount_ = hiCnt;
            numMasked_ = static_cast<int>(NumStats(ctx));
            for (std::uint32_t s = Stats(ctx); s <= p; s += kStateSize)
                charMask_[Sym(s)] = escCount_;
            foundState_ = 0;
            highCount_ = scale_;
            return true;
        }
    }
    lowCount_ = (highCount_ = hiCnt) - Freq(p);
    Update1(p);
    return true;
}

void PpmdH::Update2(std::uint32_t p) {
    foundState_ = p;
    SetFreq(p, Freq(p) + 4u);
    Set16(minContext_ + 2, SummFreq(minContext_) + 4);
    if (Freq(p) > kMaxFreq) Rescale();
    ++escCount_;
    runLength_ = initRunLength_;
}

PpmdH::See2& PpmdH::MakeEscFreq2(unsigned diff) {
    const std::uint32_t ctx = minContext_;
    const unsigned ns = NumStats(ctx);
    if (ns != 256) {
        const int suffixStats = static_cast<int>(NumStats(Suffix(ctx)));
        See2& s = see2_[ns2Index_[diff - 1]]
                       [(static_cast<int>(diff) < suffixStats - static_cast<int>(ns)) +
                        2 * (SummFreq(ctx) < 11 * ns) + 4 * (numMasked_ > static_cast<int>(diff)) +
                        hiBitsFlag_];
        scale_ = s.Mean();
        return s;
    }
    scale_ = 1;
    return dummySee2_;
}

bool PpmdH::DecodeSymbol2() {
    const std::uint32_t ctx = minContext_;
    const unsigned ns = NumStats(ctx);
    if (static_cast<int>(ns) <= numMasked_ || ns > 256) return false;
    if (ns != 256 && !ContextOk(Suffix(ctx))) return false;
    unsigned left = ns - static_cast<unsigned>(numMasked_);
    See2& see = MakeEscFreq2(left);
    const std::uint32_t stats = Stats(ctx);
    if (stats > heapSize_ || ns * kStateSize > heapSize_ - stats) return false;
    // The unmasked states, gathered without a branch on the mask, which
    // follows no pattern. Only the first `left` of them take part: a
    // rescaled suffix may have dropped symbols its child masked.
    const std::uint8_t* const first = heap_.get() + stats;
    const std::uint8_t* const end = first + ns * kStateSize;
    const std::uint8_t esc = escCount_;
    std::array<const std::uint8_t*, 256> candidates;
    unsigned n = 0;
    unsigned hiCnt = 0;
    const auto take = [&](const std::uint8_t* s) {
        const unsigned open = charMask_[s[0]] != esc;
        candidates[n] = s;
        hiCnt += s[1] * open;
        n += open;
    };
    const std::uint8_t* s = first;
    for (const std::uint8_t* const pairs = first + (ns & ~1u) * kStateSize; s != pairs;
         s += 2 * kStateSize) {
        take(s);
        take(s + kStateSize);
    }
    if (s != end) take(s);
    if (n < left) return false;
    if (n > left) {
        n = left;
        hiCnt = 0;
        for (unsigned k = 0; k < n; ++k) hiCnt += candidates[k][1];
    }
    scale_ += hiCnt;
    const std::uint32_t count = coder_.Count(scale_);
    if (count >= scale_) return false;
    if (count < hiCnt) {
        unsigned k = 0;
        hiCnt = candidates[0][1];
        while (hiCnt <= count) hiCnt += candidates[++k][1];
        const auto p = static_cast<std::uint32_t>(candidates[k] - heap_.get());
        lowCount_ = (highCount_ = hiCnt) - Freq(p);
        see.Update();
        Update2(p);
    } else {
        lowCount_ = hiCnt;
        highCount_ = scale_;
        for (unsigned k = 0; k < n; ++k) charMask_[candidates[k][0]] = esc;
        see.summ = static_cast<std::uint16_t>(see.summ + scale_);
        numMasked_ = static_cast<int>(ns);
    }
    return true;
}

void PpmdH::Rescale() {
    const std::uint32_t ctx = minContext_;
    const unsigned oldStats = NumStats(ctx);
    const std::uint32_t stats = Stats(ctx);
    // The found state moves to the front.
    for (std::uint32_t p = foundState_; p != stats; p -= kStateSize) SwapStates(p, p - kStateSize);
    SetFreq(stats, Freq(stats) + 4u);
    int escFreq = static_cast<int>(SummFreq(ctx) + 4 - Freq(stats));
    const unsigned adder = orderFall_ != 0;
    SetFreq(stats, (Freq(stats) + adder) >> 1);
    unsigned summ = Freq(stats);
    std::uint32_t p = stats;
    for (unsigned i = oldStats - 1; i != 0; --i) {
        p += kStateSize;
        escFreq -= Freq(p);
        SetFreq(p, (Freq(p) + adder) >> 1);
        summ += Freq(p);
        if (Freq(p) > Freq(p - kStateSize)) {
            // Insertion sort by falling frequency.
            const State tmp = Load(p);
            std::uint32_t q = p;
            do {
                std::memmove(&heap_[q], &heap_[q - kStateSize], kStateSize);
                q -= kStateSize;
            } while (q != stats && tmp.freq > Freq(q - kStateSize));
            Store(q, tmp);
        }
    }
    unsigned numStats = oldStats;
    if (Freq(p) == 0) {
        unsigned zeros = 0;
        do {
            ++zeros;
            p -= kStateSize;
        } while (Freq(p) == 0);
        escFreq += static_cast<int>(zeros);
        numStats -= zeros;
        Set16(ctx, numStats);
        if (numStats == 1) {
            State tmp = Load(stats);
            do {
                tmp.freq = static_cast<std::uint8_t>(tmp.freq - (tmp.freq >> 1));
                escFreq >>= 1;
            } while (escFreq > 1);
            FreeUnits(stats, (oldStats + 1) >> 1);
            foundState_ = OneState(ctx);
            Store(foundState_, tmp);
            return;
        }
    }
    escFreq -= escFreq >> 1;
    Set16(ctx + 2, summ + static_cast<unsigned>(escFreq));
    const unsigned n0 = (oldStats + 1) >> 1;
    const unsigned n1 = (numStats + 1) >> 1;
    if (n0 != n1) Set32(ctx + 4, ShrinkUnits(stats, n0, n1));
    foundState_ = Stats(ctx);
}

std::uint32_t PpmdH::CreateSuccessors(bool skip, std::uint32_t p1) {
    std::uint32_t ctx = minContext_;
    const std::uint32_t upBranch = Successor(foundState_);
    const std::uint8_t symbol = Sym(foundState_);
    std::array<std::uint32_t, kMaxOrder> chain;
    unsigned n = 0;
    bool walk = true;
    if (!skip) {
        chain[n++] = foundState_;
        walk = Suffix(ctx) != 0;
    }
    // Walk the suffixes until one already has a real successor for the
    // symbol; the states passed on the way get new child contexts.
    std::uint32_t p = p1;
    if (walk && p != 0) ctx = Suffix(ctx);
    while (walk) {
        if (p == 0) {
            ctx = Suffix(ctx);
            if (!ContextOk(ctx)) return 0;
            p = NumStats(ctx) != 1 ? FindState(ctx, symbol) : OneState(ctx);
            if (p == 0) return 0;
        }
        if (Successor(p) != upBranch) {
            ctx = Successor(p);
            break;
        }
        if (n == kMaxOrder) return 0;
        chain[n++] = p;
        p = 0;
        walk = Suffix(ctx) != 0;
    }
    if (n == 0) return ctx;
    if (upBranch == 0 || upBranch >= heapSize_ || !ContextOk(ctx)) return 0;
    // The new contexts start with the symbol that followed in the text.
    State up{heap_[upBranch], 0, upBranch + 1};
    if (NumStats(ctx) != 1) {
        const std::uint32_t s = FindState(ctx, up.symbol);
        if (s == 0) return 0;
        const std::uint32_t cf = Freq(s) - 1u;
        const std::uint32_t s0 = SummFreq(ctx) - NumStats(ctx) - cf;
        if (s0 == 0 && 2 * cf > s0) return 0;
        up.freq = static_cast<std::uint8_t>(
            1 + ((2 * cf <= s0) ? (5 * cf > s0) : ((2 * cf + 3 * s0 - 1) / (2 * s0))));
    } else {
        up.freq = Freq(OneState(ctx));
    }
    do {
        const std::uint32_t child = AllocContext();
        if (child == 0) return 0;
        Set16(child, 1);
        Store(OneState(child), up);
        Set32(child + 8, ctx);
        Set32(chain[--n] + 2, child);
        ctx = child;
    } while (n != 0);
    return ctx;
}

// Adds the symbol just decoded to the contexts from the longest down to the
// one it was found in.
bool PpmdH::GrowContexts(const State& fs, std::uint32_t successor) {
    const unsigned ns = NumStats(minContext_);
    const std::uint32_t s0 = SummFreq(minContext_) - ns - (fs.freq - 1u);
    for (std::uint32_t pc = maxContext_; pc != minContext_; pc = Suffix(pc)) {
        if (!ContextOk(pc)) return false;
        unsigned ns1 = NumStats(pc);
        if (ns1 != 1) {
            if ((ns1 & 1) == 0) {
                const std::uint32_t stats = ExpandUnits(Stats(pc), ns1 >> 1);
                if (stats == 0) return false;
                Set32(pc + 4, stats);
            }
            const unsigned summ = SummFreq(pc);
            Set16(pc + 2, summ + (2 * ns1 < ns) + 2 * ((4 * ns1 <= ns) & (summ <= 8 * ns1)));
        } else {
            const std::uint32_t p = AllocUnits(1);
            if (p == 0) return false;
            Store(p, Load(OneState(pc)));
            Set32(pc + 4, p);
            const unsigned f = Freq(p);
            SetFreq(p, f < kMaxFreq / 4 - 1 ? f + f : kMaxFreq - 4);
            Set16(pc + 2, Freq(p) + static_cast<unsigned>(initEsc_) + (ns > 3));
        }
        std::uint32_t cf = 2 * fs.freq * (SummFreq(pc) + 6u);
        const std::uint32_t sf = s0 + SummFreq(pc);
        if (cf < 6 * sf) {
            cf = 1 + (cf > sf) + (cf >= 4 * sf);
            Set16(pc + 2, SummFreq(pc) + 3);
        } else {
            cf = 4 + (cf >= 9 * sf) + (cf >= 12 * sf) + (cf >= 15 * sf);
            Set16(pc + 2, SummFreq(pc) + cf);
        }
        Store(Stats(pc) + ns1 * kStateSize, {fs.symbol, static_cast<std::uint8_t>(cf), successor});
        Set16(pc, ++ns1);
    }
    maxContext_ = minContext_ = fs.successor;
    return true;
}

bool PpmdH::UpdateModel() {
    State fs = Load(foundState_);
    std::uint32_t p = 0;
    const std::uint32_t suffix = Suffix(minContext_);
    if (fs.freq < kMaxFreq / 4 && suffix != 0) {
        if (!ContextOk(suffix)) return false;
        if (NumStats(suffix) != 1) {
            p = FindState(suffix, fs.symbol);
            if (p == 0) return false;
            if (p != Stats(suffix) && Freq(p) >= Freq(p - kStateSize)) {
                SwapStates(p, p - kStateSize);
                p -= kStateSize;
            }
            if (Freq(p) < kMaxFreq - 9) {
                SetFreq(p, Freq(p) + 2u);
                Set16(suffix + 2, SummFreq(suffix) + 2);
            }
        } else {
            p = OneState(suffix);
            SetFreq(p, Freq(p) + (Freq(p) < 32));
        }
    }
    if (orderFall_ == 0) {
        minContext_ = maxContext_ = CreateSuccessors(true, p);
        Set32(foundState_ + 2, minContext_);
        return minContext_ != 0;
    }
    heap_[text_++] = fs.symbol;
    std::uint32_t successor = text_;
    if (text_ >= unitsStart_) return false;
    if (fs.successor != 0) {
        if (fs.successor <= text_) {
            fs.successor = CreateSuccessors(false, p);
            if (fs.successor == 0) return false;
        }
        if (--orderFall_ == 0) {
            successor = fs.successor;
            text_ -= maxContext_ != minContext_;
        }
    } else {
        Set32(foundState_ + 2, successor);
        fs.successor = minContext_;
    }
    return GrowContexts(fs, successor);
}

int PpmdH::DecodeChar(RarBitInput& in) {
    if (!ready_) return -1;
    if (!ContextOk(minContext_)) return Fail();
    const unsigned ns = NumStats(minContext_);
    if (ns != 1) {
        const std::uint32_t stats = Stats(minContext_);
        if (ns > 256 || stats <= text_ || stats > heapSize_ - ns * kStateSize) return Fail();
        if (!DecodeSymbol1()) return Fail();
    } else if (!DecodeBinSymbol()) {
        return Fail();
    }
    coder_.Consume(lowCount_, highCount_);
    while (foundState_ == 0) {
        coder_.Normalize(in);
        do {
            ++orderFall_;
            minContext_ = Suffix(minContext_);
            if (!ContextOk(minContext_)) return Fail();
        } while (static_cast<int>(NumStats(minContext_)) == numMasked_);
        if (!DecodeSymbol2()) return Fail();
        coder_.Consume(lowCount_, highCount_);
    }
    const int symbol = Sym(foundState_);
    const std::uint32_t next = Successor(foundState_);
    if (orderFall_ == 0 && next > text_) {
        if (!ContextOk(next)) return Fail();
        minContext_ = maxContext_ = next;
    } else {
        if (!UpdateModel()) {
            // Out of model memory: start afresh.
            RestartModel();
            ++memoryRestarts_;
            escCount_ = 0;
        }
        if (escCount_ == 0) ClearMask();
    }
    coder_.Normalize(in);
    if (coder_.Broken()) return Fail();
    return symbol;
}

int PpmdH::Fail() {
    ready_ = false;
    return -1;
}

}  // namespace lumora::archive
