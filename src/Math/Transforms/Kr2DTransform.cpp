// The plane-transform root's default slots, and the serializer registry that re-creates stored transforms by
// name.
#include "Math/Transforms/Kr2DTransform.h"

#include "Math/Transforms/KrAffineTransform.h"
#include "Math/Transforms/KrCombinedTransform.h"
#include "Math/Transforms/KrProjectiveTransform.h"
#include "Math/Transforms/KrShiftTransform.h"
#include "Math/Transforms/KrTransformLoops.h"
#include "Math/Transforms/KrUnityTransform.h"
#include "XIni/KrXIniReader.h"
#include "XIni/KrXIniWriter.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>

// --- Default slots ---------------------------------------------------------------------------

TKr2DTransform::~TKr2DTransform() = default;

bool TKr2DTransform::GetTraCoordB(const vec2d& in, vec2d& out) const {
    out = GetTraCoord(in);
    return true;
}

bool TKr2DTransform::GetInverseTraCoordB(const vec2d& in, vec2d& out) const {
    out = GetInverseTraCoord(in);
    return true;
}

void TKr2DTransform::GetTraCoordM(const vec2d* src, std::uint64_t srcStride, std::uint64_t count, vec2d* dst,
                                  std::uint64_t dstStride) const {
    KrTransformLoops::MapPoints(src, srcStride, count, dst, dstStride,
                                [this](double x, double y, double& ox, double& oy) {
                                    const vec2d p = GetTraCoord(vec2d(x, y));
                                    ox = p.x;
                                    oy = p.y;
                                });
}

void TKr2DTransform::GetInverseTraCoordM(const vec2d* src, std::uint64_t srcStride, std::uint64_t count,
                                         vec2d* dst, std::uint64_t dstStride) const {
    KrTransformLoops::MapPoints(src, srcStride, count, dst, dstStride,
                                [this](double x, double y, double& ox, double& oy) {
                                    const vec2d p = GetInverseTraCoord(vec2d(x, y));
                                    ox = p.x;
                                    oy = p.y;
                                });
}

unsigned TKr2DTransform::GetTransformFlags() const {
    return 0;
}

double TKr2DTransform::GetTransformTime(bool) const {
    return 1.0;
}

bool TKr2DTransform::GetMatrix(matr3x3*) const {
    return false;
}

bool TKr2DTransform::GetInverseMatrix(matr3x3*) const {
    return false;
}

void TKr2DTransform::SaveE(TKrXIniWriter* writer) const {
    TSerializer::Save(this, writer);
}

var_a<TKr2DTransform*> TKr2DTransform::LoadE(TKrXIniReader* reader) {
    return TSerializer::Load(reader);
}

// --- Registry --------------------------------------------------------------------------------

namespace {

// The table lock. Readers share it through a count: the first reader to arrive takes it and the
// last to leave releases it, which is rarely the same thread, so it cannot be a std::mutex
// (whose owner must unlock it).
class TTableLock {
public:
    void lock() {
        std::unique_lock<std::mutex> l(m_mutex);
        m_free.wait(l, [this] { return !m_locked; });
        m_locked = true;
    }
    void unlock() {
        {
            std::lock_guard<std::mutex> l(m_mutex);
            m_locked = false;
        }
        m_free.notify_one();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_free;
    bool m_locked = false;
};

// The registry unit: the readers' count with its mutex, and the table lock.
struct TRegistryUnit {
    std::mutex counterMutex;
    std::size_t readers = 0;
    TTableLock tableLock;
};

struct TRegistryEntry {
    TKr2DTransform::TSerializer::TFactory factory;
    std::size_t count;
};
using TRegistryTable = std::map<std::string, TRegistryEntry, std::less<>>;

std::mutex g_lifecycle;      // guards the two call counters below
std::size_t g_unitUsers = 0; // starts of the registry unit
std::size_t g_initCalls = 0; // U_InitTransforms_Initialize calls
std::atomic<TRegistryUnit*> g_unit{nullptr};
TRegistryTable* g_table = nullptr; // under the table lock; null while nothing is registered

// Loads nest (a chain loads its elements); a document nested deeper than this is refused
// rather than allowed to exhaust the stack.
constexpr int kMaxLoadDepth = 256;
thread_local int t_loadDepth = 0;

TRegistryUnit& Unit() {
    TRegistryUnit* unit = g_unit.load(std::memory_order_acquire);
    if (!unit) throw std::runtime_error("TKr2DTransform: Unit is not initialized");
    return *unit;
}

void StartUnit() {
    std::lock_guard<std::mutex> l(g_lifecycle);
    if (g_unitUsers++ == 0) g_unit.store(new TRegistryUnit, std::memory_order_release);
}

void StopUnit() noexcept {
    std::lock_guard<std::mutex> l(g_lifecycle);
    if (g_unitUsers == 0 || --g_unitUsers != 0) return;
    delete g_unit.exchange(nullptr);
    // Names still registered by someone who never unregistered them go with the unit.
    delete g_table;
    g_table = nullptr;
}

class TReadGuard {
public:
    TReadGuard() : m_unit(Unit()) {
        std::lock_guard<std::mutex> l(m_unit.counterMutex);
        if (m_unit.readers++ == 0) m_unit.tableLock.lock();
    }
    ~TReadGuard() {
        std::lock_guard<std::mutex> l(m_unit.counterMutex);
        if (--m_unit.readers == 0) m_unit.tableLock.unlock();
    }
    TReadGuard(const TReadGuard&) = delete;
    TReadGuard& operator=(const TReadGuard&) = delete;

private:
    TRegistryUnit& m_unit;
};

class TWriteGuard {
public:
    TWriteGuard() : m_unit(Unit()) { m_unit.tableLock.lock(); }
    ~TWriteGuard() { m_unit.tableLock.unlock(); }
    TWriteGuard(const TWriteGuard&) = delete;
    TWriteGuard& operator=(const TWriteGuard&) = delete;

private:
    TRegistryUnit& m_unit;
};

struct TDepthGuard {
    TDepthGuard() {
        if (t_loadDepth >= kMaxLoadDepth) throw std::runtime_error("@TKr2DTransform::Load: nesting too deep");
        ++t_loadDepth;
    }
    ~TDepthGuard() { --t_loadDepth; }
};

struct TBuiltIn {
    const char* name;
    TKr2DTransform::TSerializer::TFactory factory;
};
const TBuiltIn kBuiltIns[] = {
    {TUnityTransform::ContentName, &TKr2DTransform::TRegistrator<TUnityTransform>::CreateNewT},
    {TShiftTransform::ContentName, &TKr2DTransform::TRegistrator<TShiftTransform>::CreateNewT},
    {TAffineTransform::ContentName, &TKr2DTransform::TRegistrator<TAffineTransform>::CreateNewT},
    {TProjectiveTransform::ContentName, &TKr2DTransform::TRegistrator<TProjectiveTransform>::CreateNewT},
    {TCombinedTransform::ContentName, &TKr2DTransform::TRegistrator<TCombinedTransform>::CreateNewT},
};

} // namespace

void TKr2DTransform::TSerializer::Save(const TKr2DTransform* t, TKrXIniWriter* writer) {
    writer->WriteSE("name", std::string(t->GetContentName()));
    writer->BeginSectionSE("data");
    t->SaveContent(writer);
    writer->EndSectionE();
}

var_a<TKr2DTransform*> TKr2DTransform::TSerializer::Load(TKrXIniReader* reader) {
    TReadGuard guard;
    if (!g_table) throw std::runtime_error("@TKr2DTransform::Load: no serializers");
    TDepthGuard depth;
    const std::size_t nameIndex = reader->FindFE("name", 0);
    const std::string name = reader->ReadE<std::string>(nameIndex);
    const auto it = g_table->find(name);
    if (it == g_table->end()) {
        const std::string text = "@TKr2DTransform::Load: invalid name: " + name;
        reader->throw_error_value_message(nameIndex, text);
        throw std::runtime_error(text); // for a reader whose throw_error_value_message returns
    }
    var_a<TKr2DTransform*> t = it->second.factory();
    const std::size_t level = reader->EnterSectionSE("data");
    t->LoadContent(reader);
    reader->ExitSectionE(level);
    return t;
}

void TKr2DTransform::TSerializer::RegisterName(const char* name, TFactory factory) {
    TWriteGuard guard;
    if (!g_table) g_table = new TRegistryTable;
    TRegistryEntry& e = (*g_table)[name ? name : ""];
    if (e.count++ == 0) e.factory = factory;
}

void TKr2DTransform::TSerializer::UnregisterName(const char* name) {
    TWriteGuard guard;
    if (!g_table) return;
    const auto it = g_table->find(name ? name : "");
    if (it == g_table->end()) return;
    if (--it->second.count == 0) g_table->erase(it);
    if (g_table->empty()) {
        delete g_table;
        g_table = nullptr;
    }
}

void U_InitTransforms_Initialize() {
    {
        std::lock_guard<std::mutex> l(g_lifecycle);
        if (g_initCalls++ != 0) return;
    }
    StartUnit();
    std::size_t registered = 0;
    try {
        for (const TBuiltIn& b : kBuiltIns) {
            TKr2DTransform::TSerializer::RegisterName(b.name, b.factory);
            ++registered;
        }
    } catch (...) {
        while (registered > 0)
            TKr2DTransform::TSerializer::UnregisterName(kBuiltIns[--registered].name);
        StopUnit();
        std::lock_guard<std::mutex> l(g_lifecycle);
        g_initCalls = 0;
        throw;
    }
}

void U_InitTransforms_Finalize() noexcept {
    {
        std::lock_guard<std::mutex> l(g_lifecycle);
        if (g_initCalls == 0 || --g_initCalls != 0) return;
    }
    try {
        for (const TBuiltIn& b : kBuiltIns)
            TKr2DTransform::TSerializer::UnregisterName(b.name);
    } catch (...) {
        // Unregistering allocates nothing; the unit is started, so nothing can throw here.
    }
    StopUnit();
}
