// The in-memory document of the lazy XIni reader: text buffer, parsed items and sections.
#pragma once

#include "XIni/KrFixStack.h"
#include "XIni/KrXIniItemType.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct TKrXIniSectionQ;

/// One recognised item. Name and value point into the document buffer (unescaped in place and
/// NUL-terminated) or at a static empty text.
struct TKrXIniItemQ {
    TKrXIniItemType type = TE_KrXIniItemType::Invalid;
    const char* name = "";
    std::size_t nameLen = 0;
    const char* value = "";
    std::size_t valueLen = 0;
    TKrXIniSectionQ* child = nullptr; // sections only
};

/// One section, scanned on demand. `resume` is where scanning of its own content continues
/// (null once it reached its end or met an error); `pending` is the sub-section inside which
/// the last scan stopped.
struct TKrXIniSectionQ {
    std::vector<TKrXIniItemQ*> items;
    TKrXIniSectionQ* parent = nullptr;
    char* resume = nullptr;
    TKrXIniSectionQ* pending = nullptr;
    bool error = false;

    bool Complete() const noexcept { return resume == nullptr; }
};

/// The pools owning the items and sections created by one thread.
struct TKrXIniPoolsQ {
    KrXIniInternal::TFixStack<TKrXIniItemQ> items;
    KrXIniInternal::TFixStack<TKrXIniSectionQ> sections;
};

/// Everything the readers of one document share. Parallel workers scan disjoint sections, each
/// into pools of its own, so only the pool list needs the mutex.
struct TKrXIniDocQ {
    std::unique_ptr<char[]> buffer; // the text and one NUL byte
    std::size_t length = 0;
    std::string infoName;
    std::atomic<bool> parseError{false};
    TKrXIniSectionQ* root = nullptr;

    TKrXIniPoolsQ* NewPools() {
        std::lock_guard<std::mutex> lock(m_poolsMutex);
        m_pools.push_back(std::make_unique<TKrXIniPoolsQ>());
        return m_pools.back().get();
    }

private:
    std::mutex m_poolsMutex;
    std::vector<std::unique_ptr<TKrXIniPoolsQ>> m_pools;
};
