// A list of owned items in numbered slots: removal leaves a hole that the
// next insert fills, so everything else keeps its slot and its order.
#pragma once

#include <memory>
#include <utility>
#include <vector>

template <class T>
class SlotList {
 public:
  static constexpr int growth = 16;

  SlotList() : slots_(growth) {}

  int capacity() const { return int(slots_.size()); }
  int liveCount() const { return live_; }
  // The item in slot, or nullptr for an empty slot or one past the capacity.
  T* at(int slot) const { return slot >= 0 && slot < capacity() ? slots_[slot].get() : nullptr; }

  // Puts item into the first empty slot, growing by 16 when full.
  int insert(std::unique_ptr<T> item) {
    if (live_ >= capacity()) slots_.resize(slots_.size() + growth);
    for (int i = 0;; ++i) {
      if (!slots_[i]) {
        slots_[i] = std::move(item);
        ++live_;
        return i;
      }
    }
  }

  // Empties slot and hands its item to the caller (who may destroy it later).
  std::unique_ptr<T> take(int slot) {
    std::unique_ptr<T> item = std::move(slots_[slot]);
    if (item) --live_;
    return item;
  }

  void remove(int slot) { take(slot); }

  // Calls visit(item) for every item in slot order, or backwards. Like at,
  // it hands out the items themselves. visit must not insert or take items.
  template <class Visit>
  void forEach(Visit&& visit) const {
    for (const std::unique_ptr<T>& item : slots_)
      if (item) visit(*item);
  }
  template <class Visit>
  void forEachBackwards(Visit&& visit) const {
    for (auto item = slots_.rbegin(); item != slots_.rend(); ++item)
      if (*item) visit(**item);
  }

 private:
  std::vector<std::unique_ptr<T>> slots_;
  int live_ = 0;
};
