#include "results/ScanResult.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "common/Text.h"

namespace vantrel {

std::string ActionText(std::int32_t action) {
  switch (action) {
    case actShow:
      return "Show";
    case actDisable:
      return "Disable";
    case actDelete:
      return "Delete";
    default:
      return {};
  }
}

TVTRScanResult::TVTRScanResult(std::string name, std::int32_t days, std::int32_t action)
    : name_(std::move(name)), days_(days), action_(action) {}

bool TVTRScanResult::IsComputer() const { return !name_.empty() && name_.back() == '$'; }

std::string TVTRScanResult::DaysText() const {
  if (days_ == kDaysNever) return "never";
  if (days_ == kDaysError) return "error";
  return std::to_string(days_);
}

std::string TVTRScanResult::SortKey() const {
  if (days_ == kDaysNever) return "never";
  if (days_ == kDaysError) return "error";
  return Printf("%.7d", days_);
}

void TVTRScanResult::SetAction(std::int32_t action) {
  if (action != action_) action_ = action;
}

void TVTRScanResults::Add(std::string name, std::int32_t days, std::int32_t action) {
  entries_.push_back(Entry{std::string(), std::make_unique<TVTRScanResult>(std::move(name), days, action)});
}

void TVTRScanResults::Clear() {
  entries_.clear();
  entries_.shrink_to_fit();
}

void TVTRScanResults::Sort(int column) {
  for (auto& entry : entries_) entry.key = column == 0 ? entry.record->Name() : entry.record->SortKey();
  // Each key's collation key is made once; the sort compares those. Stable, so records with equal
  // keys keep their previous relative order.
  std::vector<std::pair<std::string, std::size_t>> order;
  order.reserve(entries_.size());
  // Day keys ("0000045", "-0000003", "error", "never") are digits, a minus and lower-case ASCII
  // letters, which every collation orders as their bytes: only names need the collation keys.
  for (std::size_t index = 0; index < entries_.size(); ++index)
    order.emplace_back(column == 0 ? CollationKeyCI(entries_[index].key) : entries_[index].key, index);
  std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<Entry> sorted;
  sorted.reserve(entries_.size());
  for (const auto& [key, index] : order) sorted.push_back(std::move(entries_[index]));
  entries_ = std::move(sorted);
}

SuggestionCounts TVTRScanResults::SetSuggestedActions(const SuggestionLimits& limits) {
  SuggestionCounts counts;
  for (auto& entry : entries_) {
    TVTRScanResult& record = *entry.record;
    const std::int32_t days = record.Days();
    std::int32_t code = actShow;
    if (record.IsComputer()) {
      if (limits.computerDisable && days > limits.computerDisableDays) code = actDisable;
      if (limits.computerDelete && days > limits.computerDeleteDays) code = actDelete;
    } else {
      if (limits.userDisable && days > limits.userDisableDays) code = actDisable;
      if (limits.userDelete && days > limits.userDeleteDays) code = actDelete;
      if (days == kDaysNever) code = limits.neverUsedAction;
    }
    if (code == actShow) ++counts.show;
    if (code == actDisable) ++counts.disable;
    if (code == actDelete) ++counts.remove;
    record.SetAction(code);
  }
  return counts;
}

bool TVTRScanResults::HasActionToExecute() const {
  return std::any_of(entries_.begin(), entries_.end(),
                     [](const Entry& entry) { return entry.record->Action() != actShow; });
}

}  // namespace vantrel
