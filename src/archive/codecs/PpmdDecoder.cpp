// PPMd variant I revision 1: a context-mixing model of orders up to 16 over a fixed memory
// arena, driven by a carry-less range decoder. The writer and the reader run the same
// model over the same symbols, so every decision the model takes (which block of memory it
// hands out, when the memory is full and the model is restarted or cut back) must be
// taken here exactly as the writer took it; the arena layout below (12-byte units holding
// contexts, 6-byte symbol states or free-list nodes) is part of that behaviour.
//
// This file is compiled with -fno-strict-aliasing: a unit of the arena is read as a
// context, a pair of states or a free-list node depending on what the model keeps there.
#include "archive/codecs/PpmdDecoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace velmora {

namespace {

[[noreturn]] void Damaged(const char* what = nullptr)
{
    throw DecodeError(what ? std::string("damaged compressed data (") + what + ")" : "damaged compressed data");
}

constexpr unsigned kMaxOrder = 16;
constexpr unsigned kUnitSize = 12;
constexpr unsigned kIndexCount = 38; // block sizes of 1,2,3,4, 6,...,12, 15,...,24, 28,...,128 units
constexpr unsigned kMaxFreq = 124;
constexpr unsigned kIntBits = 7;
constexpr unsigned kPeriodBits = 7;
constexpr unsigned kBinScale = 1u << (kIntBits + kPeriodBits);
constexpr std::uint32_t kEmptyStamp = 0xFFFFFFFF;
constexpr std::uint32_t kRangeTop = 1u << 24;
constexpr std::uint32_t kRangeBottom = 1u << 15;

constexpr std::uint16_t kInitialBinaryEscape[8] = {0x3CDD, 0x1F3F, 0x59BF, 0x48F3, 0x64A1, 0x5ABC, 0x6632, 0x6051};
constexpr std::uint8_t kEscapeByProbability[16] = {25, 14, 9, 7, 5, 5, 4, 4, 4, 3, 3, 3, 2, 2, 2, 2};

enum class Restore : unsigned { Restart = 0, CutOff = 1 };

// One symbol of a context: 6 bytes, two of them in a unit.
struct State {
    std::uint8_t symbol;
    std::uint8_t freq;
    std::uint16_t successorLow;
    std::uint16_t successorHigh;
};
static_assert(sizeof(State) == 6);

// A context: 12 bytes. A context with one symbol keeps that symbol's state in place of
// summFreq and stats (from byte 2 on).
struct Context {
    std::uint8_t numStats; // symbols - 1
    std::uint8_t flags;
    std::uint16_t summFreq;
    std::uint32_t stats;
    std::uint32_t suffix;
};
static_assert(sizeof(Context) == kUnitSize);

// A free block of units.
struct Node {
    std::uint32_t stamp; // kEmptyStamp while free
    std::uint32_t next;
    std::uint32_t nu; // units
};
static_assert(sizeof(Node) == kUnitSize);

// Secondary escape estimation.
struct See {
    std::uint16_t summ;
    std::uint8_t shift;
    std::uint8_t count;
};

std::uint32_t Successor(const State* s)
{
    return s->successorLow | (static_cast<std::uint32_t>(s->successorHigh) << 16);
}

void SetSuccessor(State* s, std::uint32_t v)
{
    s->successorLow = static_cast<std::uint16_t>(v & 0xFFFF);
    s->successorHigh = static_cast<std::uint16_t>(v >> 16);
}

State* OneState(Context* c)
{
    return reinterpret_cast<State*>(reinterpret_cast<unsigned char*>(c) + 2);
}

void SwapStates(State* a, State* b)
{
    const State t = *a;
    *a = *b;
    *b = t;
}

void CopyUnits(void* to, const void* from, unsigned units)
{
    std::memmove(to, from, static_cast<std::size_t>(units) * kUnitSize);
}

// Tables that depend on nothing: block sizes and the context-size classes.
struct Tables {
    std::uint8_t indexToUnits[kIndexCount];
    std::uint8_t unitsToIndex[128];
    std::uint8_t statsToBinIndex[256];
    std::uint8_t statsToIndex[260];

    Tables()
    {
        unsigned k = 0;
        for (unsigned i = 0; i < kIndexCount; ++i) {
            const unsigned step = i >= 12 ? 4 : (i >> 2) + 1;
            for (unsigned n = 0; n < step; ++n)
                unitsToIndex[k++] = static_cast<std::uint8_t>(i);
            indexToUnits[i] = static_cast<std::uint8_t>(k);
        }
        statsToBinIndex[0] = 0;
        statsToBinIndex[1] = 2;
        std::fill(statsToBinIndex + 2, statsToBinIndex + 11, 4);
        std::fill(statsToBinIndex + 11, statsToBinIndex + 256, 6);
        unsigned i = 0;
        for (; i < 5; ++i)
            statsToIndex[i] = static_cast<std::uint8_t>(i);
        unsigned m = i;
        unsigned left = 1;
        for (; i < 260; ++i) {
            statsToIndex[i] = static_cast<std::uint8_t>(m);
            if (--left == 0) left = ++m - 4;
        }
    }
};

const Tables& SharedTables()
{
    static const Tables tables;
    return tables;
}

// Where the range decoder takes its bytes from: the packed source, buffered. Reading past
// its end gives zeros and marks the data as cut short.
class ByteInput {
public:
    explicit ByteInput(ByteSource& source) : m_source(source), m_buffer(1u << 16) {}
    std::uint8_t Next()
    {
        if (m_pos == m_size && !Refill()) return 0;
        return m_buffer[m_pos++];
    }
    bool Overrun() const { return m_overrun; }

private:
    bool Refill()
    {
        if (!m_ended) {
            m_size = m_source.Read(m_buffer.data(), m_buffer.size());
            m_pos = 0;
            m_ended = m_size == 0;
        }
        if (m_ended) m_overrun = true;
        return !m_ended;
    }

    ByteSource& m_source;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_size = 0;
    bool m_ended = false;
    bool m_overrun = false;
};

class Model {
public:
    Model(ByteInput& input, unsigned order, std::uint32_t memory, Restore restore)
        : m_t(SharedTables()), m_in(input), m_size(memory), m_maxOrder(order), m_restore(restore)
    {
        // Offset 0 is the null reference, so the arena starts a few bytes in.
        m_base.reset(new unsigned char[kAlign + static_cast<std::size_t>(memory) + kUnitSize]);
        m_range = 0xFFFFFFFF;
        for (int i = 0; i < 4; ++i)
            m_code = (m_code << 8) | m_in.Next();
        if (m_code == 0xFFFFFFFF) Damaged();
        m_dummySee.shift = kPeriodBits;
        m_dummySee.summ = 0;
        m_dummySee.count = 64;
        RestartModel();
    }

    // The next symbol, or -1 at the end marker.
    int DecodeSymbol();

    // The coder ends exactly where the writer flushed it.
    bool EndedCleanly() const { return m_code == 0; }

private:
    static constexpr std::uint32_t kAlign = 4;

    // --- references into the arena -----------------------------------------------------
    std::uint32_t Ref(const void* p) const
    {
        return static_cast<std::uint32_t>(static_cast<const unsigned char*>(p) - m_base.get());
    }
    unsigned char* Ptr(std::uint32_t ref) const { return m_base.get() + ref; }
    Context* Ctx(std::uint32_t ref) const { return reinterpret_cast<Context*>(Ptr(ref)); }
    State* Stats(const Context* c) const { return reinterpret_cast<State*>(Ptr(c->stats)); }
    Context* Suffix(const Context* c) const { return Ctx(c->suffix); }
    Node* NodeAt(std::uint32_t ref) const { return reinterpret_cast<Node*>(Ptr(ref)); }
    unsigned I2U(unsigned index) const { return m_t.indexToUnits[index]; }
    unsigned U2I(unsigned units) const { return m_t.unitsToIndex[units - 1]; }

    // --- the block allocator -----------------------------------------------------------
    void InsertNode(void* p, unsigned index)
    {
        Node* node = static_cast<Node*>(p);
        node->stamp = kEmptyStamp;
        node->next = m_freeList[index];
        node->nu = I2U(index);
        m_freeList[index] = Ref(node);
        ++m_stamps[index];
    }

    void* RemoveNode(unsigned index)
    {
        Node* node = NodeAt(m_freeList[index]);
        m_freeList[index] = node->next;
        --m_stamps[index];
        return node;
    }

    // Returns the tail of a block cut from oldIndex down to newIndex to the free lists.
    void SplitBlock(void* p, unsigned oldIndex, unsigned newIndex)
    {
        const unsigned rest = I2U(oldIndex) - I2U(newIndex);
        unsigned char* tail = static_cast<unsigned char*>(p) + I2U(newIndex) * kUnitSize;
        unsigned index = U2I(rest);
        if (I2U(index) != rest) {
            const unsigned k = I2U(--index);
            InsertNode(tail + k * kUnitSize, rest - k - 1);
        }
        InsertNode(tail, index);
    }

    // Merges neighbouring free blocks and sorts them back into the lists.
    void GlueFreeBlocks()
    {
        m_glueCount = 1u << 13;
        m_stamps.fill(0);
        // A guard where the free space below the high units begins.
        if (m_loUnit != m_hiUnit) reinterpret_cast<Node*>(m_loUnit)->stamp = 0;

        std::uint32_t head = 0;
        std::uint32_t* prev = &head;
        for (unsigned i = 0; i < kIndexCount; ++i) {
            std::uint32_t next = m_freeList[i];
            m_freeList[i] = 0;
            while (next != 0) {
                Node* node = NodeAt(next);
                if (node->nu != 0) {
                    *prev = next;
                    prev = &node->next;
                    for (Node* after; (after = node + node->nu)->stamp == kEmptyStamp;) {
                        node->nu += after->nu;
                        after->nu = 0;
                    }
                }
                next = node->next;
            }
        }
        *prev = 0;

        while (head != 0) {
            Node* node = NodeAt(head);
            head = node->next;
            unsigned nu = node->nu;
            if (nu == 0) continue;
            for (; nu > 128; nu -= 128, node += 128)
                InsertNode(node, kIndexCount - 1);
            unsigned index = U2I(nu);
            if (I2U(index) != nu) {
                const unsigned k = I2U(--index);
                InsertNode(node + k, nu - k - 1);
            }
            InsertNode(node, index);
        }
    }

    void* AllocUnitsRare(unsigned index)
    {
        if (m_glueCount == 0) {
            GlueFreeBlocks();
            if (m_freeList[index] != 0) return RemoveNode(index);
        }
        unsigned i = index;
        do {
            if (++i == kIndexCount) {
                const std::uint32_t bytes = I2U(index) * kUnitSize;
                --m_glueCount;
                if (static_cast<std::uint32_t>(m_unitsStart - m_text) > bytes) return m_unitsStart -= bytes;
                return nullptr;
            }
        } while (m_freeList[i] == 0);
        void* block = RemoveNode(i);
        SplitBlock(block, i, index);
        return block;
    }

    void* AllocUnits(unsigned index)
    {
        if (m_freeList[index] != 0) return RemoveNode(index);
        const std::uint32_t bytes = I2U(index) * kUnitSize;
        if (bytes <= static_cast<std::uint32_t>(m_hiUnit - m_loUnit)) {
            void* block = m_loUnit;
            m_loUnit += bytes;
            return block;
        }
        return AllocUnitsRare(index);
    }

    void* ShrinkUnits(void* old, unsigned oldNu, unsigned newNu)
    {
        const unsigned i0 = U2I(oldNu);
        const unsigned i1 = U2I(newNu);
        if (i0 == i1) return old;
        if (m_freeList[i1] != 0) {
            void* block = RemoveNode(i1);
            CopyUnits(block, old, newNu);
            InsertNode(old, i0);
            return block;
        }
        SplitBlock(old, i0, i1);
        return old;
    }

    void FreeUnits(void* p, unsigned nu) { InsertNode(p, U2I(nu)); }

    // Frees one unit; the lowest unit instead gives its room back to the text area.
    void SpecialFreeUnit(void* p)
    {
        if (static_cast<unsigned char*>(p) != m_unitsStart) {
            InsertNode(p, 0);
        } else {
            m_unitsStart += kUnitSize;
        }
    }

    // Moves a block near the bottom of the units up into a free block, when one is higher.
    void* MoveUnitsUp(void* old, unsigned nu)
    {
        const unsigned index = U2I(nu);
        if (static_cast<unsigned char*>(old) > m_unitsStart + 16 * 1024 || Ref(old) > m_freeList[index]) return old;
        void* block = RemoveNode(index);
        CopyUnits(block, old, nu);
        if (static_cast<unsigned char*>(old) != m_unitsStart) {
            InsertNode(old, index);
        } else {
            m_unitsStart += I2U(index) * kUnitSize;
        }
        return block;
    }

    // Gives the free blocks at the bottom of the units back to the text area.
    void ExpandTextArea()
    {
        std::array<std::uint32_t, kIndexCount> count{};
        if (m_loUnit != m_hiUnit) reinterpret_cast<Node*>(m_loUnit)->stamp = 0;
        Node* node = reinterpret_cast<Node*>(m_unitsStart);
        for (; node->stamp == kEmptyStamp; node += node->nu) {
            node->stamp = 0;
            ++count[U2I(node->nu)];
        }
        m_unitsStart = reinterpret_cast<unsigned char*>(node);

        for (unsigned i = 0; i < kIndexCount; ++i) {
            std::uint32_t* next = &m_freeList[i];
            while (count[i] != 0) {
                Node* n = NodeAt(*next);
                while (n->stamp == 0) {
                    *next = n->next;
                    n = NodeAt(*next);
                    --m_stamps[i];
                    if (--count[i] == 0) break;
                }
                next = &n->next;
            }
        }
    }

    std::uint32_t UsedMemory() const
    {
        std::uint32_t units = 0;
        for (unsigned i = 0; i < kIndexCount; ++i)
            units += m_stamps[i] * I2U(i);
        return m_size - static_cast<std::uint32_t>(m_hiUnit - m_loUnit) -
               static_cast<std::uint32_t>(m_unitsStart - m_text) - units * kUnitSize;
    }

    // --- the model ---------------------------------------------------------------------
    void RestartModel();
    void Refresh(Context* c, unsigned oldNu, unsigned scale);
    std::uint32_t CutOff(Context* c, unsigned order);
    void RestoreModel(Context* c1);
    Context* CreateSuccessors(bool skip, State* s1, Context* c);
    Context* ReduceOrder(State* s1, Context* c);
    void UpdateModel();
    void Rescale();
    See* MakeEscapeFrequency(unsigned numMasked, std::uint32_t& escapeFreq);
    void NextContext();
    void Update1();
    void Update1First();
    void UpdateBinary();
    void Update2();

    // --- the range decoder -------------------------------------------------------------
    std::uint32_t Threshold(std::uint32_t total)
    {
        m_range /= total;
        if (m_range == 0) Damaged();
        return m_code / m_range;
    }

    void Decode(std::uint32_t start, std::uint32_t size)
    {
        start *= m_range;
        m_low += start;
        m_code -= start;
        m_range *= size;
        for (;;) {
            if ((m_low ^ (m_low + m_range)) >= kRangeTop) {
                if (m_range >= kRangeBottom) break;
                m_range = (0 - m_low) & (kRangeBottom - 1);
            }
            m_code = (m_code << 8) | m_in.Next();
            m_range <<= 8;
            m_low <<= 8;
        }
    }

    const Tables& m_t;
    ByteInput& m_in;
    std::unique_ptr<unsigned char[]> m_base;
    std::uint32_t m_size;
    unsigned m_maxOrder;
    Restore m_restore;

    std::uint32_t m_low = 0;
    std::uint32_t m_range = 0;
    std::uint32_t m_code = 0;

    Context* m_minContext = nullptr;
    Context* m_maxContext = nullptr;
    State* m_foundState = nullptr;
    unsigned m_orderFall = 0;
    unsigned m_initEsc = 0;
    unsigned m_prevSuccess = 0;
    std::int32_t m_runLength = 0;
    std::int32_t m_initRunLength = 0;
    std::uint32_t m_glueCount = 0;
    unsigned char* m_loUnit = nullptr;
    unsigned char* m_hiUnit = nullptr;
    unsigned char* m_text = nullptr;
    unsigned char* m_unitsStart = nullptr;

    std::array<std::uint32_t, kIndexCount> m_freeList{};
    std::array<std::uint32_t, kIndexCount> m_stamps{};
    See m_dummySee{};
    See m_see[24][32]{};
    std::uint16_t m_binSumm[25][64]{};
};

void Model::RestartModel()
{
    m_freeList.fill(0);
    m_stamps.fill(0);
    m_text = m_base.get() + kAlign;
    m_hiUnit = m_text + m_size;
    m_loUnit = m_unitsStart = m_hiUnit - m_size / 8 / kUnitSize * 7 * kUnitSize;
    m_glueCount = 0;

    m_orderFall = m_maxOrder;
    m_runLength = m_initRunLength = -static_cast<std::int32_t>(std::min(m_maxOrder, 12u)) - 1;
    m_prevSuccess = 0;

    m_hiUnit -= kUnitSize;
    m_minContext = m_maxContext = reinterpret_cast<Context*>(m_hiUnit);
    m_minContext->suffix = 0;
    m_minContext->numStats = 255;
    m_minContext->flags = 0;
    m_minContext->summFreq = 256 + 1;
    m_foundState = reinterpret_cast<State*>(m_loUnit);
    m_loUnit += (256 / 2) * kUnitSize;
    m_minContext->stats = Ref(m_foundState);
    for (unsigned i = 0; i < 256; ++i) {
        State* s = &m_foundState[i];
        s->symbol = static_cast<std::uint8_t>(i);
        s->freq = 1;
        SetSuccessor(s, 0);
    }

    for (unsigned i = 0, m = 0; m < 25; ++m) {
        while (m_t.statsToIndex[i] == m)
            ++i;
        for (unsigned k = 0; k < 8; ++k) {
            const auto value = static_cast<std::uint16_t>(kBinScale - kInitialBinaryEscape[k] / (i + 1));
            for (unsigned r = 0; r < 64; r += 8)
                m_binSumm[m][k + r] = value;
        }
    }
    for (unsigned i = 0, m = 0; m < 24; ++m) {
        while (m_t.statsToIndex[i + 3] == m + 3)
            ++i;
        for (unsigned k = 0; k < 32; ++k) {
            See& see = m_see[m][k];
            see.shift = kPeriodBits - 4;
            see.summ = static_cast<std::uint16_t>((2 * i + 5) << see.shift);
            see.count = 7;
        }
    }
}

// Halves (scale 1) or keeps the frequencies of a context and shrinks its states' block.
void Model::Refresh(Context* c, unsigned oldNu, unsigned scale)
{
    unsigned i = c->numStats;
    State* s = static_cast<State*>(ShrinkUnits(Stats(c), oldNu, (i + 2) >> 1));
    c->stats = Ref(s);
    unsigned flags = (c->flags & (0x10 + 0x04 * scale)) + 0x08 * (s->symbol >= 0x40);
    unsigned escFreq = c->summFreq - s->freq;
    s->freq = static_cast<std::uint8_t>((s->freq + scale) >> scale);
    unsigned sumFreq = s->freq;
    do {
        ++s;
        escFreq -= s->freq;
        s->freq = static_cast<std::uint8_t>((s->freq + scale) >> scale);
        sumFreq += s->freq;
        flags |= 0x08 * (s->symbol >= 0x40);
    } while (--i);
    c->summFreq = static_cast<std::uint16_t>(sumFreq + ((escFreq + scale) >> scale));
    c->flags = static_cast<std::uint8_t>(flags);
}

// Drops the branches whose successors point into the text area (or beyond the highest
// order) and returns what is left of c, or 0 when nothing is.
std::uint32_t Model::CutOff(Context* c, unsigned order)
{
    if (c->numStats == 0) {
        State* s = OneState(c);
        if (Ptr(Successor(s)) >= m_unitsStart) {
            SetSuccessor(s, order < m_maxOrder ? CutOff(Ctx(Successor(s)), order + 1) : 0);
            if (Successor(s) != 0 || order <= 9) return Ref(c);
        }
        SpecialFreeUnit(c);
        return 0;
    }

    const unsigned units = (static_cast<unsigned>(c->numStats) + 2) >> 1;
    c->stats = Ref(MoveUnitsUp(Stats(c), units));

    int last = c->numStats;
    for (int j = c->numStats; j >= 0; --j) {
        State* s = Stats(c) + j;
        if (Ptr(Successor(s)) < m_unitsStart) {
            State* s2 = Stats(c) + last--;
            SetSuccessor(s, 0);
            SwapStates(s, s2);
        } else if (order < m_maxOrder) {
            SetSuccessor(s, CutOff(Ctx(Successor(s)), order + 1));
        } else {
            SetSuccessor(s, 0);
        }
    }

    if (last != c->numStats && order != 0) {
        c->numStats = static_cast<std::uint8_t>(last);
        State* s = Stats(c);
        if (last < 0) {
            FreeUnits(s, units);
            SpecialFreeUnit(c);
            return 0;
        }
        if (last == 0) {
            c->flags = static_cast<std::uint8_t>((c->flags & 0x10) + 0x08 * (s->symbol >= 0x40));
            *OneState(c) = *s;
            FreeUnits(s, units);
            OneState(c)->freq = static_cast<std::uint8_t>((static_cast<unsigned>(OneState(c)->freq) + 11) >> 3);
        } else {
            Refresh(c, units, c->summFreq > 16 * static_cast<unsigned>(last));
        }
    }
    return Ref(c);
}

// The memory is full: take back the symbol being added between the longest context and
// c1, then restart the model or cut it back to three quarters of the memory.
void Model::RestoreModel(Context* c1)
{
    m_text = m_base.get() + kAlign;
    Context* c = m_maxContext;
    for (; c != c1; c = Suffix(c)) {
        if (--c->numStats == 0) {
            State* s = Stats(c);
            c->flags = static_cast<std::uint8_t>((c->flags & 0x10) + 0x08 * (s->symbol >= 0x40));
            *OneState(c) = *s;
            SpecialFreeUnit(s);
            OneState(c)->freq = static_cast<std::uint8_t>((static_cast<unsigned>(OneState(c)->freq) + 11) >> 3);
        } else {
            Refresh(c, (c->numStats + 3) >> 1, 0);
        }
    }
    for (; c != m_minContext; c = Suffix(c)) {
        if (c->numStats == 0) {
            OneState(c)->freq = static_cast<std::uint8_t>(OneState(c)->freq - (OneState(c)->freq >> 1));
        } else if ((c->summFreq = static_cast<std::uint16_t>(c->summFreq + 4)) > 128 + 4 * c->numStats) {
            Refresh(c, (c->numStats + 2) >> 1, 1);
        }
    }

    if (m_restore == Restore::Restart || UsedMemory() < (m_size >> 1)) {
        RestartModel();
        return;
    }
    while (m_maxContext->suffix != 0)
        m_maxContext = Suffix(m_maxContext);
    do {
        CutOff(m_maxContext, 0);
        ExpandTextArea();
    } while (UsedMemory() > 3 * (m_size >> 2));
    m_glueCount = 0;
    m_orderFall = m_maxOrder;
}

Context* Model::CreateSuccessors(bool skip, State* s1, Context* c)
{
    const std::uint32_t upBranch = Successor(m_foundState);
    State* ps[kMaxOrder + 1];
    unsigned numPs = 0;
    if (!skip) ps[numPs++] = m_foundState;

    while (c->suffix != 0) {
        c = Suffix(c);
        State* s;
        if (s1 != nullptr) {
            s = s1;
            s1 = nullptr;
        } else if (c->numStats != 0) {
            for (s = Stats(c); s->symbol != m_foundState->symbol; ++s) {
            }
            if (s->freq < kMaxFreq - 9) {
                ++s->freq;
                ++c->summFreq;
            }
        } else {
            s = OneState(c);
            s->freq = static_cast<std::uint8_t>(s->freq + ((Suffix(c)->numStats == 0) & (s->freq < 24)));
        }
        const std::uint32_t successor = Successor(s);
        if (successor != upBranch) {
            c = Ctx(successor);
            if (numPs == 0) return c;
            break;
        }
        if (numPs == kMaxOrder + 1) Damaged();
        ps[numPs++] = s;
    }

    State up;
    up.symbol = *Ptr(upBranch);
    SetSuccessor(&up, upBranch + 1);
    const auto flags = static_cast<std::uint8_t>(0x10 * (m_foundState->symbol >= 0x40) + 0x08 * (up.symbol >= 0x40));
    if (c->numStats == 0) {
        up.freq = OneState(c)->freq;
    } else {
        State* s = Stats(c);
        while (s->symbol != up.symbol)
            ++s;
        const std::uint32_t cf = s->freq - 1u;
        const std::uint32_t s0 = c->summFreq - c->numStats - cf;
        if (2 * cf > s0 && s0 == 0) Damaged();
        up.freq = static_cast<std::uint8_t>(1 + ((2 * cf <= s0) ? (5 * cf > s0) : ((cf + 2 * s0 - 3) / s0)));
    }

    do {
        Context* c1;
        if (m_hiUnit != m_loUnit) {
            m_hiUnit -= kUnitSize;
            c1 = reinterpret_cast<Context*>(m_hiUnit);
        } else if (m_freeList[0] != 0) {
            c1 = static_cast<Context*>(RemoveNode(0));
        } else {
            c1 = static_cast<Context*>(AllocUnitsRare(0));
            if (c1 == nullptr) return nullptr;
        }
        c1->numStats = 0;
        c1->flags = flags;
        *OneState(c1) = up;
        c1->suffix = Ref(c);
        SetSuccessor(ps[--numPs], Ref(c1));
        c = c1;
    } while (numPs != 0);
    return c;
}

Context* Model::ReduceOrder(State* s1, Context* c)
{
    State* s = nullptr;
    Context* const c1 = c;
    const std::uint32_t upBranch = Ref(m_text);
    SetSuccessor(m_foundState, upBranch);
    ++m_orderFall;

    for (;;) {
        if (s1 != nullptr) {
            c = Suffix(c);
            s = s1;
            s1 = nullptr;
        } else {
            if (c->suffix == 0) return c;
            c = Suffix(c);
            if (c->numStats != 0) {
                s = Stats(c);
                while (s->symbol != m_foundState->symbol)
                    ++s;
                if (s->freq < kMaxFreq - 9) {
                    s->freq = static_cast<std::uint8_t>(s->freq + 2);
                    c->summFreq = static_cast<std::uint16_t>(c->summFreq + 2);
                }
            } else {
                s = OneState(c);
                s->freq = static_cast<std::uint8_t>(s->freq + (s->freq < 32));
            }
        }
        if (Successor(s) != 0) break;
        SetSuccessor(s, upBranch);
        ++m_orderFall;
    }

    if (Successor(s) <= upBranch) {
        State* const saved = m_foundState;
        m_foundState = s;
        Context* successor = CreateSuccessors(false, nullptr, c);
        SetSuccessor(s, successor == nullptr ? 0 : Ref(successor));
        m_foundState = saved;
    }
    if (m_orderFall == 1 && c1 == m_maxContext) {
        SetSuccessor(m_foundState, Successor(s));
        --m_text;
    }
    if (Successor(s) == 0) return nullptr;
    return Ctx(Successor(s));
}

void Model::UpdateModel()
{
    std::uint32_t fSuccessor = Successor(m_foundState);
    const unsigned fFreq = m_foundState->freq;
    const std::uint8_t fSymbol = m_foundState->symbol;
    State* s = nullptr;

    if (m_foundState->freq < kMaxFreq / 4 && m_minContext->suffix != 0) {
        Context* c = Suffix(m_minContext);
        if (c->numStats == 0) {
            s = OneState(c);
            if (s->freq < 32) ++s->freq;
        } else {
            s = Stats(c);
            if (s->symbol != fSymbol) {
                do {
                    ++s;
                } while (s->symbol != fSymbol);
                if (s[0].freq >= s[-1].freq) {
                    SwapStates(&s[0], &s[-1]);
                    --s;
                }
            }
            if (s->freq < kMaxFreq - 9) {
                s->freq = static_cast<std::uint8_t>(s->freq + 2);
                c->summFreq = static_cast<std::uint16_t>(c->summFreq + 2);
            }
        }
    }

    Context* c = m_maxContext;
    if (m_orderFall == 0 && fSuccessor != 0) {
        Context* cs = CreateSuccessors(true, s, m_minContext);
        if (cs == nullptr) {
            SetSuccessor(m_foundState, 0);
            RestoreModel(c);
        } else {
            SetSuccessor(m_foundState, Ref(cs));
            m_maxContext = cs;
        }
        return;
    }

    *m_text++ = fSymbol;
    std::uint32_t successor = Ref(m_text);
    if (m_text >= m_unitsStart) {
        RestoreModel(c);
        return;
    }

    if (fSuccessor == 0) {
        Context* cs = ReduceOrder(s, m_minContext);
        if (cs == nullptr) {
            RestoreModel(c);
            return;
        }
        fSuccessor = Ref(cs);
    } else if (Ptr(fSuccessor) < m_unitsStart) {
        Context* cs = CreateSuccessors(false, s, m_minContext);
        if (cs == nullptr) {
            RestoreModel(c);
            return;
        }
        fSuccessor = Ref(cs);
    }

    if (--m_orderFall == 0) {
        successor = fSuccessor;
        m_text -= (m_maxContext != m_minContext);
    }

    const unsigned ns = m_minContext->numStats;
    const unsigned s0 = m_minContext->summFreq - ns - fFreq;
    const auto flag = static_cast<std::uint8_t>(0x08 * (fSymbol >= 0x40));

    for (; c != m_minContext; c = Suffix(c)) {
        const unsigned ns1 = c->numStats;
        if (ns1 != 0) {
            if ((ns1 & 1) != 0) {
                // The states' block grows by one unit every second symbol.
                const unsigned oldNu = (ns1 + 1) >> 1;
                const unsigned i = U2I(oldNu);
                if (i != U2I(oldNu + 1)) {
                    void* block = AllocUnits(i + 1);
                    if (block == nullptr) {
                        RestoreModel(c);
                        return;
                    }
                    void* old = Stats(c);
                    CopyUnits(block, old, oldNu);
                    InsertNode(old, i);
                    c->stats = Ref(block);
                }
            }
            c->summFreq = static_cast<std::uint16_t>(c->summFreq + (3 * ns1 + 1 < ns));
        } else {
            State* s2 = static_cast<State*>(AllocUnits(0));
            if (s2 == nullptr) {
                RestoreModel(c);
                return;
            }
            *s2 = *OneState(c);
            c->stats = Ref(s2);
            if (s2->freq < kMaxFreq / 4 - 1) {
                s2->freq = static_cast<std::uint8_t>(s2->freq << 1);
            } else {
                s2->freq = kMaxFreq - 4;
            }
            c->summFreq = static_cast<std::uint16_t>(s2->freq + m_initEsc + (ns > 2));
        }
        std::uint32_t cf = 2 * fFreq * (c->summFreq + 6u);
        const std::uint32_t sf = s0 + c->summFreq;
        if (cf < 6 * sf) {
            cf = 1 + (cf > sf) + (cf >= 4 * sf);
            c->summFreq = static_cast<std::uint16_t>(c->summFreq + 4);
        } else {
            cf = 4 + (cf > 9 * sf) + (cf > 12 * sf) + (cf > 15 * sf);
            c->summFreq = static_cast<std::uint16_t>(c->summFreq + cf);
        }
        State* added = Stats(c) + ns1 + 1;
        SetSuccessor(added, successor);
        added->symbol = fSymbol;
        added->freq = static_cast<std::uint8_t>(cf);
        c->flags |= flag;
        c->numStats = static_cast<std::uint8_t>(ns1 + 1);
    }
    m_maxContext = m_minContext = Ctx(fSuccessor);
}

// Halves the frequencies of the current context once one grows too large, keeping the
// states sorted by frequency and dropping those that reach zero.
void Model::Rescale()
{
    State* const stats = Stats(m_minContext);
    State* s = m_foundState;
    {
        const State found = *s;
        for (; s != stats; --s)
            s[0] = s[-1];
        *s = found;
    }
    unsigned escFreq = m_minContext->summFreq - s->freq;
    s->freq = static_cast<std::uint8_t>(s->freq + 4);
    const unsigned adder = m_orderFall != 0 ? 1 : 0;
    s->freq = static_cast<std::uint8_t>((s->freq + adder) >> 1);
    unsigned sumFreq = s->freq;

    unsigned i = m_minContext->numStats;
    do {
        ++s;
        escFreq -= s->freq;
        s->freq = static_cast<std::uint8_t>((s->freq + adder) >> 1);
        sumFreq += s->freq;
        if (s[0].freq > s[-1].freq) {
            State* s1 = s;
            const State moved = *s1;
            do {
                s1[0] = s1[-1];
            } while (--s1 != stats && moved.freq > s1[-1].freq);
            *s1 = moved;
        }
    } while (--i);

    if (s->freq == 0) {
        const unsigned numStats = m_minContext->numStats;
        do {
            ++i;
        } while ((--s)->freq == 0);
        escFreq += i;
        if (escFreq == 0) Damaged();
        m_minContext->numStats = static_cast<std::uint8_t>(m_minContext->numStats - i);
        if (m_minContext->numStats == 0) {
            State only = *stats;
            only.freq = static_cast<std::uint8_t>((2 * only.freq + escFreq - 1) / escFreq);
            if (only.freq > kMaxFreq / 3) only.freq = kMaxFreq / 3;
            InsertNode(stats, U2I((numStats + 2) >> 1));
            m_minContext->flags =
                static_cast<std::uint8_t>((m_minContext->flags & 0x10) + 0x08 * (only.symbol >= 0x40));
            m_foundState = OneState(m_minContext);
            *m_foundState = only;
            return;
        }
        const unsigned n0 = (numStats + 2) >> 1;
        const unsigned n1 = (m_minContext->numStats + 2) >> 1;
        if (n0 != n1) m_minContext->stats = Ref(ShrinkUnits(stats, n0, n1));
        m_minContext->flags &= ~0x08;
        s = Stats(m_minContext);
        m_minContext->flags |= 0x08 * (s->symbol >= 0x40);
        i = m_minContext->numStats;
        do {
            ++s;
            m_minContext->flags |= 0x08 * (s->symbol >= 0x40);
        } while (--i);
    }
    m_minContext->summFreq = static_cast<std::uint16_t>(sumFreq + escFreq - (escFreq >> 1));
    m_minContext->flags |= 0x04;
    m_foundState = Stats(m_minContext);
}

See* Model::MakeEscapeFrequency(unsigned numMasked, std::uint32_t& escapeFreq)
{
    const unsigned ns = m_minContext->numStats;
    if (ns == 0xFF) {
        escapeFreq = 1;
        return &m_dummySee;
    }
    See* see = m_see[m_t.statsToIndex[ns + 2] - 3] + (m_minContext->summFreq > 11 * (ns + 1)) +
               2 * (2 * ns < Suffix(m_minContext)->numStats + numMasked) + m_minContext->flags;
    const unsigned r = see->summ >> see->shift;
    see->summ = static_cast<std::uint16_t>(see->summ - r);
    escapeFreq = r + (r == 0);
    return see;
}

void Model::NextContext()
{
    Context* c = Ctx(Successor(m_foundState));
    if (m_orderFall == 0 && reinterpret_cast<unsigned char*>(c) >= m_unitsStart) {
        m_minContext = m_maxContext = c;
    } else {
        UpdateModel();
        m_minContext = m_maxContext;
    }
}

void Model::Update1()
{
    State* s = m_foundState;
    s->freq = static_cast<std::uint8_t>(s->freq + 4);
    m_minContext->summFreq = static_cast<std::uint16_t>(m_minContext->summFreq + 4);
    if (s[0].freq > s[-1].freq) {
        SwapStates(&s[0], &s[-1]);
        m_foundState = --s;
        if (s->freq > kMaxFreq) Rescale();
    }
    NextContext();
}

void Model::Update1First()
{
    m_prevSuccess = (2 * m_foundState->freq >= m_minContext->summFreq);
    m_runLength += static_cast<std::int32_t>(m_prevSuccess);
    m_minContext->summFreq = static_cast<std::uint16_t>(m_minContext->summFreq + 4);
    m_foundState->freq = static_cast<std::uint8_t>(m_foundState->freq + 4);
    if (m_foundState->freq > kMaxFreq) Rescale();
    NextContext();
}

void Model::UpdateBinary()
{
    m_foundState->freq = static_cast<std::uint8_t>(m_foundState->freq + (m_foundState->freq < 196));
    m_prevSuccess = 1;
    ++m_runLength;
    NextContext();
}

void Model::Update2()
{
    m_minContext->summFreq = static_cast<std::uint16_t>(m_minContext->summFreq + 4);
    m_foundState->freq = static_cast<std::uint8_t>(m_foundState->freq + 4);
    if (m_foundState->freq > kMaxFreq) Rescale();
    m_runLength = m_initRunLength;
    UpdateModel();
    m_minContext = m_maxContext;
}

int Model::DecodeSymbol()
{
    // 1 for each symbol still possible after escapes from longer contexts.
    std::uint8_t open[256];
    if (m_minContext->numStats != 0) {
        State* s = Stats(m_minContext);
        const std::uint32_t count = Threshold(m_minContext->summFreq);
        std::uint32_t hiCnt = s->freq;
        if (count < hiCnt) {
            Decode(0, s->freq);
            m_foundState = s;
            const std::uint8_t symbol = s->symbol;
            Update1First();
            return symbol;
        }
        m_prevSuccess = 0;
        unsigned i = m_minContext->numStats;
        do {
            ++s;
            if ((hiCnt += s->freq) > count) {
                Decode(hiCnt - s->freq, s->freq);
                m_foundState = s;
                const std::uint8_t symbol = s->symbol;
                Update1();
                return symbol;
            }
        } while (--i);
        if (count >= m_minContext->summFreq) Damaged();
        Decode(hiCnt, m_minContext->summFreq - hiCnt);
        std::memset(open, 1, sizeof open);
        open[s->symbol] = 0;
        i = m_minContext->numStats;
        do {
            open[(--s)->symbol] = 0;
        } while (--i);
    } else {
        const State* one = OneState(m_minContext);
        std::uint16_t& prob = m_binSumm[m_t.statsToIndex[one->freq - 1]]
                                       [m_t.statsToBinIndex[Suffix(m_minContext)->numStats] + m_prevSuccess +
                                        m_minContext->flags + ((m_runLength >> 26) & 0x20)];
        m_range >>= 14;
        if (m_code / m_range < prob) {
            Decode(0, prob);
            prob =
                static_cast<std::uint16_t>(prob + (1 << kIntBits) - ((prob + (1 << (kPeriodBits - 2))) >> kPeriodBits));
            m_foundState = OneState(m_minContext);
            const std::uint8_t symbol = m_foundState->symbol;
            UpdateBinary();
            return symbol;
        }
        Decode(prob, (1u << 14) - prob);
        prob = static_cast<std::uint16_t>(prob - ((prob + (1 << (kPeriodBits - 2))) >> kPeriodBits));
        m_initEsc = kEscapeByProbability[prob >> 10];
        std::memset(open, 1, sizeof open);
        open[one->symbol] = 0;
        m_prevSuccess = 0;
    }

    for (;;) {
        State* ps[256];
        const unsigned numMasked = m_minContext->numStats;
        do {
            ++m_orderFall;
            if (m_minContext->suffix == 0) return -1;
            m_minContext = Suffix(m_minContext);
        } while (m_minContext->numStats == numMasked);

        std::uint32_t hiCnt = 0;
        State* s = Stats(m_minContext);
        const unsigned num = m_minContext->numStats - numMasked;
        unsigned i = 0;
        do {
            const unsigned k = open[s->symbol];
            hiCnt += s->freq * k;
            ps[i] = s++;
            i += k;
        } while (i != num);

        std::uint32_t freqSum = 0;
        See* see = MakeEscapeFrequency(numMasked, freqSum);
        freqSum += hiCnt;
        const std::uint32_t count = Threshold(freqSum);

        if (count < hiCnt) {
            State** pps = ps;
            for (hiCnt = 0; (hiCnt += (*pps)->freq) <= count; ++pps) {
            }
            s = *pps;
            Decode(hiCnt - s->freq, s->freq);
            if (see->shift < kPeriodBits && --see->count == 0) {
                see->summ = static_cast<std::uint16_t>(see->summ << 1);
                see->count = static_cast<std::uint8_t>(3 << see->shift++);
            }
            m_foundState = s;
            const std::uint8_t symbol = s->symbol;
            Update2();
            return symbol;
        }
        if (count >= freqSum) Damaged();
        Decode(hiCnt, freqSum - hiCnt);
        see->summ = static_cast<std::uint16_t>(see->summ + freqSum);
        do {
            open[ps[--i]->symbol] = 0;
        } while (i != 0);
    }
}

class PpmdDecoder final : public ByteSource {
public:
    PpmdDecoder(ByteSource& packed, std::uint64_t declared) : m_packed(packed), m_in(packed), m_declared(declared)
    {
        const unsigned low = m_in.Next();
        const unsigned high = m_in.Next();
        if (m_in.Overrun()) Damaged("ends early");
        const unsigned word = low | (high << 8);
        const unsigned order = (word & 0x0F) + 1;
        const std::uint32_t memoryMiB = ((word >> 4) & 0xFF) + 1;
        const unsigned restore = word >> 12;
        if (order < 2) Damaged("PPMd parameters");
        if (restore == 2)
            throw DecodeError(MethodText(zipmethod::kPpmd) + " with the freeze restoration method is not supported");
        if (restore > 2) Damaged("PPMd parameters");
        if (memoryMiB > kPpmdMaxMemoryMiB) {
            throw DecodeError("the compressed data asks for more memory than allowed (" + std::to_string(memoryMiB) +
                              " MiB)");
        }
        m_model = std::make_unique<Model>(m_in, order, memoryMiB << 20, static_cast<Restore>(restore));
        if (m_in.Overrun()) Damaged("ends early");
    }

    std::size_t Read(unsigned char* data, std::size_t size) override
    {
        if (m_produced == m_declared) {
            if (!m_ended) {
                m_ended = true;
                // Past the declared size only the end marker may follow.
                const int symbol = m_model->DecodeSymbol();
                if (symbol >= 0) throw DecodeError("entry is larger than its declared size");
                if (m_in.Overrun() || !m_model->EndedCleanly()) Damaged("no clean end");
            }
            return 0;
        }
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, m_declared - m_produced));
        for (std::size_t i = 0; i < n; ++i) {
            const int symbol = m_model->DecodeSymbol();
            if (symbol < 0) throw DecodeError("entry is shorter than its declared size");
            data[i] = static_cast<unsigned char>(symbol);
        }
        if (m_in.Overrun()) Damaged("ends early");
        m_produced += n;
        return n;
    }

    void Finish() override { m_packed.Finish(); }

private:
    ByteSource& m_packed;
    ByteInput m_in;
    std::uint64_t m_declared;
    std::uint64_t m_produced = 0;
    bool m_ended = false;
    std::unique_ptr<Model> m_model;
};

} // namespace

std::unique_ptr<ByteSource> MakePpmdDecoder(ByteSource& packed, std::uint64_t declaredSize)
{
    return std::make_unique<PpmdDecoder>(packed, declaredSize);
}

} // namespace velmora
