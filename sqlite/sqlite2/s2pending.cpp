/*
** Pending pages of one write: copies made on first use, compared with
** their originals when the write is committed.
*/
#include "s2pending.h"

#include <cstring>

namespace s2 {

PendingPages::PendingPages(PageCache& cache)
    : m_cache(&cache), m_original(cache.pageCount()), m_count(m_original) {}

PendingPages::PendingPages(PageSource& source)
    : m_source(&source), m_original(source.pageCount()), m_count(m_original) {}

Status PendingPages::readBase(uint32_t number, unsigned char* out) {
  return m_cache ? m_cache->read(number, out) : m_source->readPage(number, out);
}

unsigned char* PendingPages::page(uint32_t number) {
  auto at = m_frames.find(number);
  if (at != m_frames.end()) return at->second->now.data();
  if (number == 0 || number > m_count) {
    if (m_status.ok()) m_status = damagedPage(number);
    return nullptr;
  }
  auto frame = std::make_unique<Frame>();
  Status st = readBase(number, frame->before.data());
  if (!st.ok()) {
    if (m_status.ok()) m_status = st;
    return nullptr;
  }
  frame->now = frame->before;
  unsigned char* p = frame->now.data();
  m_frames.emplace(number, std::move(frame));
  return p;
}

uint32_t PendingPages::append() {
  auto frame = std::make_unique<Frame>();
  frame->now.fill(0);
  frame->before.fill(0);
  frame->existed = false;
  m_frames.emplace(++m_count, std::move(frame));
  return m_count;
}

Status PendingPages::readPage(uint32_t number, unsigned char* out) {
  auto at = m_frames.find(number);
  if (at != m_frames.end()) {
    std::memcpy(out, at->second->now.data(), kPageSize);
    return Status::success();
  }
  return readBase(number, out);
}

std::vector<PageWrite> PendingPages::changes(uint32_t* originalPages) const {
  *originalPages = m_original;
  std::vector<PageWrite> out;
  for (const auto& [number, frame] : m_frames) {
    if (frame->existed && frame->now == frame->before) continue;
    out.push_back({number, reinterpret_cast<const char*>(frame->now.data()),
                   frame->existed ? reinterpret_cast<const char*>(frame->before.data()) : nullptr});
  }
  return out;
}

void PendingPages::absorb(PendingPages& statement) {
  for (auto& [number, frame] : statement.m_frames) {
    auto at = m_frames.find(number);
    if (at != m_frames.end()) {
      at->second->now = frame->now;
    } else {
      /* Read through this object without a change of its own: the bytes
      ** before are those beneath it. */
      m_frames.emplace(number, std::move(frame));
    }
  }
  statement.m_frames.clear();
  m_count = statement.m_count;
  if (m_status.ok()) m_status = statement.m_status;
}

}  // namespace s2
