// The PPMd model (variant H) of RAR 2.9-4.x: contexts of up to 64 symbols
// kept in a sub-allocated heap of 12-byte units, with a text area growing
// from below, decoded through the carry-less range decoder.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "archive/decoders/rar_range_decoder.h"
#include "archive/decoders/rar_unpack.h"

namespace lumora::archive {

class PpmdH {
public:
    // A block may ask for up to 256 MiB of model memory; more is refused.
    static constexpr std::size_t kMaxMemory = std::size_t{256} << 20;

    enum class Start { kOk, kBad, kNoMemory };

    PpmdH();

    // Reads a PPMd block's parameters at a byte position: the flags byte
    // (order, reset, new escape character), the memory size for a reset and
    // the escape character, then starts the range decoder. Without a reset
    // the model of the previous block goes on. Memory above `memoryCap`
    // answers kNoMemory.
    Start StartBlock(RarBitInput& in, int& escChar, std::size_t memoryCap = kMaxMemory);
    // The next byte, or -1 for damaged data (the model is then dropped).
    int DecodeChar(RarBitInput& in);
    // Bytes the range decoder read past the end of the data.
    unsigned MissingBytes() const { return coder_.Missing(); }
    bool Ready() const { return ready_; }
    // How often the model ran out of memory and started afresh.
    unsigned MemoryRestarts() const { return memoryRestarts_; }
    void Drop() { ready_ = false; }

private:
    struct State {
        std::uint8_t symbol;
        std::uint8_t freq;
        std::uint32_t successor;
    };
    struct See2 {
        std::uint16_t summ = 0;
        std::uint8_t shift = 0;
        std::uint8_t count = 0;
        void Init(unsigned value);
        unsigned Mean();
        void Update();
    };
    static constexpr int kIndexes = 38;
    static constexpr unsigned kMaxOrder = 64;

    // Heap access: contexts and states are offsets into heap_ (0 is none).
    // Fields are little-endian, whatever the host.
    std::uint16_t Get16(std::uint32_t at) const {
        const std::uint8_t* p = heap_.get() + at;
        return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    }
    std::uint32_t Get32(std::uint32_t at) const {
        const std::uint8_t* p = heap_.get() + at;
        return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
               (std::uint32_t{p[3]} << 24);
    }
    void Set16(std::uint32_t at, unsigned v) {
        std::uint8_t* p = heap_.get() + at;
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
    }
    void Set32(std::uint32_t at, std::uint32_t v) {
        std::uint8_t* p = heap_.get() + at;
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
        p[2] = static_cast<std::uint8_t>(v >> 16);
        p[3] = static_cast<std::uint8_t>(v >> 24);
    }
    unsigned NumStats(std::uint32_t ctx) const { return Get16(ctx); }
    unsigned SummFreq(std::uint32_t ctx) const { return Get16(ctx + 2); }
    std::uint32_t Stats(std::uint32_t ctx) const { return Get32(ctx + 4); }
    std::uint32_t Suffix(std::uint32_t ctx) const { return Get32(ctx + 8); }
    static std::uint32_t OneState(std::uint32_t ctx) { return ctx + 2; }
    std::uint8_t Sym(std::uint32_t s) const { return heap_[s]; }
    std::uint8_t Freq(std::uint32_t s) const { return heap_[s + 1]; }
    std::uint32_t Successor(std::uint32_t s) const { return Get32(s + 2); }
    void SetFreq(std::uint32_t s, unsigned f) { heap_[s + 1] = static_cast<std::uint8_t>(f); }
    State Load(std::uint32_t s) const;
    void Store(std::uint32_t s, const State& v);
    void SwapStates(std::uint32_t a, std::uint32_t b);
    // The state of `sym` in a context of several, or 0 when it has none.
    std::uint32_t FindState(std::uint32_t ctx, std::uint8_t sym) const;
    bool ContextOk(std::uint32_t ctx) const;

    // Sub-allocator.
    bool AllocateHeap(std::size_t bytes);
    void InitSubAllocator();
    void InsertNode(std::uint32_t p, int index);
    std::uint32_t RemoveNode(int index);
    void SplitBlock(std::uint32_t p, int oldIndex, int newIndex);
    void GlueFreeBlocks();
    std::uint32_t AllocUnitsRare(int index);
    std::uint32_t AllocUnits(unsigned units);
    std::uint32_t AllocContext();
    std::uint32_t ExpandUnits(std::uint32_t p, unsigned oldUnits);
    std::uint32_t ShrinkUnits(std::uint32_t p, unsigned oldUnits, unsigned newUnits);
    void FreeUnits(std::uint32_t p, unsigned units);

    // Model.
    void StartModel(int maxOrder);
    void RestartModel();
    void ClearMask();
    bool DecodeBinSymbol();
    bool DecodeSymbol1();
    bool DecodeSymbol2();
    void Update1(std::uint32_t p);
    void Update2(std::uint32_t p);
    See2& MakeEscFreq2(unsigned diff);
    void Rescale();
    std::uint32_t CreateSuccessors(bool skip, std::uint32_t p1);
    bool UpdateModel();
    bool GrowContexts(const State& fs, std::uint32_t successor);
    int Fail();

    RarRangeDecoder coder_;
    std::uint32_t lowCount_ = 0, highCount_ = 0, scale_ = 0;

    std::unique_ptr<std::uint8_t[]> heap_;
    std::uint32_t heapSize_ = 0;  // model bytes; a guard unit and the glue list head follow
    std::array<std::uint32_t, kIndexes> freeList_{};
    std::array<std::uint8_t, kIndexes> indexUnits_{};
    std::array<std::uint8_t, 128> unitsIndex_{};
    std::uint32_t loUnit_ = 0, hiUnit_ = 0, text_ = 0, unitsStart_ = 0;
    int glueCount_ = 0;

    bool ready_ = false;
    unsigned memoryRestarts_ = 0;
    std::array<std::array<See2, 16>, 25> see2_{};
    See2 dummySee2_;
    std::uint32_t minContext_ = 0, maxContext_ = 0, foundState_ = 0;
    int numMasked_ = 0, initEsc_ = 0, orderFall_ = 0, maxOrder_ = 0, runLength_ = 0,
        initRunLength_ = 0;
    std::array<std::uint8_t, 256> charMask_{}, ns2Index_{}, ns2BsIndex_{}, hb2Flag_{};
    std::uint8_t escCount_ = 0, prevSuccess_ = 0, hiBitsFlag_ = 0;
    // Set at every restart, so left uncleared here.
    std::array<std::array<std::uint16_t, 64>, 128> binSumm_;
};

}  // namespace lumora::archive
