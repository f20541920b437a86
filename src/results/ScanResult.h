#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vantrel {

// Action codes. The code is also the index of the action's icon in the main window's image list.
enum ActionCode : std::int32_t { actIgnore = 4, actShow = 5, actDisable = 6, actDelete = 7 };

// Day-count markers.
constexpr std::int32_t kDaysNever = -1;
constexpr std::int32_t kDaysError = -2;

// The action's text in result files ("Show", "Disable", "Delete"); empty for other codes.
std::string ActionText(std::int32_t action);

// One account that a scan found unused or that a result file listed, with its chosen action.
class TVTRScanResult {
 public:
  TVTRScanResult(std::string name, std::int32_t days, std::int32_t action);

  const std::string& Name() const { return name_; }
  std::int32_t Days() const { return days_; }
  std::int32_t Action() const { return action_; }
  bool IsComputer() const;

  // "never", "error" or the decimal number.
  std::string DaysText() const;
  // "never", "error" or the number formatted "%.7d" (45 -> "0000045").
  std::string SortKey() const;

  void SetAction(std::int32_t action);

 private:
  std::string name_;
  std::int32_t days_;
  std::int32_t action_;
};

struct SuggestionLimits {
  bool userDisable = false;
  std::int32_t userDisableDays = 0;
  bool userDelete = false;
  std::int32_t userDeleteDays = 0;
  std::int32_t neverUsedAction = actShow;
  bool computerDisable = false;
  std::int32_t computerDisableDays = 0;
  bool computerDelete = false;
  std::int32_t computerDeleteDays = 0;
};

struct SuggestionCounts {
  std::int64_t show = 0;
  std::int64_t disable = 0;
  std::int64_t remove = 0;  // the "delete" count
  bool operator==(const SuggestionCounts&) const = default;
};

// The ordered list of results, each entry a sort key and the record it owns.
class TVTRScanResults {
 public:
  std::size_t Count() const { return entries_.size(); }
  TVTRScanResult& operator[](std::size_t index) { return *entries_[index].record; }
  const TVTRScanResult& operator[](std::size_t index) const { return *entries_[index].record; }
  const std::string& Key(std::size_t index) const { return entries_[index].key; }

  // Adds a record with an empty key. Not synchronised: concurrent callers hold a lock.
  void Add(std::string name, std::int32_t days, std::int32_t action);
  void Reserve(std::size_t count) { entries_.reserve(count); }
  void Clear();

  // Column 0 sorts by name, column 1 by SortKey(); ascending, case-insensitive.
  void Sort(int column);

  SuggestionCounts SetSuggestedActions(const SuggestionLimits& limits);

  // True when at least one record carries an action other than Show.
  bool HasActionToExecute() const;

 private:
  struct Entry {
    std::string key;
    std::unique_ptr<TVTRScanResult> record;
  };
  std::vector<Entry> entries_;
};

}  // namespace vantrel
