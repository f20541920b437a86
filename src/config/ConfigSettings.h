#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "config/Registry.h"
#include "config/SortedStringList.h"

namespace vantrel {

class TOrvexRegistry;

// Every configuration value of the program, one field per registry value, for one domain. Loaded once
// at start-up from the domain's key, stored again only when the administrator agrees at close.
class TVTRConfigSettings {
 public:
  static constexpr std::string_view kKeyRoot = "SOFTWARE\\Orvex\\Vantrel\\2.0\\";
  static constexpr std::string_view kDefaultRecipientsCont = "/cn=recipients";

  // Loads and stores the current user's registry file (SettingsFilePath(), resolved at each use).
  TVTRConfigSettings();
  // Loads and stores the given registry file instead; tests and tools pass their own.
  explicit TVTRConfigSettings(std::filesystem::path registryFile);

  // "SOFTWARE\Orvex\Vantrel\2.0\" + DomainName, under HKEY_CURRENT_USER.
  std::string KeyPath() const;

  // Loads the domain's values. Never fails: a value that cannot be read leaves its field unchanged,
  // and a missing key (or unreadable file) sets Modified so that closing offers to save the defaults.
  void ReadSettings();
  void ReadSettings(Registry& store);
  // Stores every value in one write of the key. Throws VantrelError:
  // "TVTRConfigSettings.WriteSettings: Could not open %s" (key path) when the key cannot be opened or
  // created, "TOrvexRegistry.WriteStringList: Could not write %s" or "Failed to set data for '%s'"
  // when a value is refused, or the registry file's own message when the file cannot be written (the
  // old file then stays whole). Modified is left as it was.
  void WriteSettings();
  void WriteSettings(Registry& store);
  // Stores DCList alone, with the same messages, leaving every other value of the key as it is stored
  // (for the command-line configure run, which must not turn unreadable values into defaults).
  void WriteDCList();
  void WriteDCList(Registry& store);

  const std::string& DomainName() const { return domainName_; }
  // Set once, before loading; does not count as a change.
  void SetDomainName(std::string domainName) { domainName_ = std::move(domainName); }

  bool Modified() const { return modified_; }
  // For the ignore-list changes, which edit the lists in place.
  void MarkModified() { modified_ = true; }

  // Getters.
  const std::vector<std::string>& DCList() const { return dcList_; }
  bool UserWarning() const { return userWarning_; }
  std::int32_t UserWarningDays() const { return userWarningDays_; }
  bool UserDisable() const { return userDisable_; }
  std::int32_t UserDisableDays() const { return userDisableDays_; }
  bool UserDelete() const { return userDelete_; }
  std::int32_t UserDeleteDays() const { return userDeleteDays_; }
  std::int32_t UserUnusedAccountAction() const { return userUnusedAccountAction_; }
  const SortedStringList& UserIgnoreList() const { return userIgnoreList_; }
  SortedStringList& UserIgnoreList() { return userIgnoreList_; }
  bool UserIgnoreNeverExp() const { return userIgnoreNeverExp_; }
  bool UserIgnoreDisabled() const { return userIgnoreDisabled_; }
  bool ComputerWarning() const { return computerWarning_; }
  std::int32_t ComputerWarningDays() const { return computerWarningDays_; }
  bool ComputerDisable() const { return computerDisable_; }
  std::int32_t ComputerDisableDays() const { return computerDisableDays_; }
  bool ComputerDelete() const { return computerDelete_; }
  std::int32_t ComputerDeleteDays() const { return computerDeleteDays_; }
  const SortedStringList& ComputerIgnoreList() const { return computerIgnoreList_; }
  SortedStringList& ComputerIgnoreList() { return computerIgnoreList_; }
  bool ComputerIgnoreDisabled() const { return computerIgnoreDisabled_; }
  std::int32_t MaxThreads() const { return maxThreads_; }
  bool ShowStats() const { return showStats_; }
  bool DCCheck() const { return dcCheck_; }
  std::int32_t HomeFolderAction() const { return homeFolderAction_; }
  const std::string& HomeFolderPath() const { return homeFolderPath_; }
  bool DeleteMailboxes() const { return deleteMailboxes_; }
  const std::string& ExchangeServer() const { return exchangeServer_; }
  const std::string& RecipientsCont() const { return recipientsCont_; }
  bool ShowDomainSizeWarning() const { return showDomainSizeWarning_; }
  bool FastTarvikAlgorithm() const { return fastTarvikAlgorithm_; }

  // Setters: each sets Modified only when the value changes (strings compare byte for byte).
  // DCCheck has none: only the stored value changes it.
  void SetDCList(const std::vector<std::string>& list);
  void SetUserWarning(bool value) { Assign(userWarning_, value); }
  void SetUserWarningDays(std::int32_t value) { Assign(userWarningDays_, value); }
  void SetUserDisable(bool value) { Assign(userDisable_, value); }
  void SetUserDisableDays(std::int32_t value) { Assign(userDisableDays_, value); }
  void SetUserDelete(bool value) { Assign(userDelete_, value); }
  void SetUserDeleteDays(std::int32_t value) { Assign(userDeleteDays_, value); }
  void SetUserUnusedAccountAction(std::int32_t value) { Assign(userUnusedAccountAction_, value); }
  void SetUserIgnoreNeverExp(bool value) { Assign(userIgnoreNeverExp_, value); }
  void SetUserIgnoreDisabled(bool value) { Assign(userIgnoreDisabled_, value); }
  void SetComputerWarning(bool value) { Assign(computerWarning_, value); }
  void SetComputerWarningDays(std::int32_t value) { Assign(computerWarningDays_, value); }
  void SetComputerDisable(bool value) { Assign(computerDisable_, value); }
  void SetComputerDisableDays(std::int32_t value) { Assign(computerDisableDays_, value); }
  void SetComputerDelete(bool value) { Assign(computerDelete_, value); }
  void SetComputerDeleteDays(std::int32_t value) { Assign(computerDeleteDays_, value); }
  void SetComputerIgnoreDisabled(bool value) { Assign(computerIgnoreDisabled_, value); }
  void SetMaxThreads(std::int32_t value) { Assign(maxThreads_, value); }
  void SetShowStats(bool value) { Assign(showStats_, value); }
  void SetHomeFolderAction(std::int32_t value) { Assign(homeFolderAction_, value); }
  void SetHomeFolderPath(std::string_view value) { AssignText(homeFolderPath_, value); }
  void SetDeleteMailboxes(bool value) { Assign(deleteMailboxes_, value); }
  void SetExchangeServer(std::string_view value) { AssignText(exchangeServer_, value); }
  void SetRecipientsCont(std::string_view value) { AssignText(recipientsCont_, value); }
  void SetShowDomainSizeWarning(bool value) { Assign(showDomainSizeWarning_, value); }
  void SetFastTarvikAlgorithm(bool value) { Assign(fastTarvikAlgorithm_, value); }

 private:
  template <typename T>
  void Assign(T& field, T value) {
    if (field != value) {
      field = value;
      modified_ = true;
    }
  }
  void OpenForWriting(TOrvexRegistry& registry) const;
  void AssignText(std::string& field, std::string_view value) {
    if (field != value) {
      field = std::string(value);
      modified_ = true;
    }
  }

  std::filesystem::path registryFile_;  // empty: the current user's file

  std::string domainName_ = "[unknown]";
  bool modified_ = false;
  std::vector<std::string> dcList_;
  bool userWarning_ = true;
  std::int32_t userWarningDays_ = 30;
  bool userDisable_ = false;
  std::int32_t userDisableDays_ = 40;
  bool userDelete_ = false;
  std::int32_t userDeleteDays_ = 60;
  std::int32_t userUnusedAccountAction_ = 1;
  SortedStringList userIgnoreList_;
  bool userIgnoreNeverExp_ = false;
  bool userIgnoreDisabled_ = false;
  bool computerWarning_ = true;
  std::int32_t computerWarningDays_ = 45;
  bool computerDisable_ = false;
  std::int32_t computerDisableDays_ = 65;
  bool computerDelete_ = false;
  std::int32_t computerDeleteDays_ = 85;
  SortedStringList computerIgnoreList_;
  bool computerIgnoreDisabled_ = false;
  std::int32_t maxThreads_ = 20;
  bool showStats_ = true;
  bool dcCheck_ = true;
  std::int32_t homeFolderAction_ = 0;
  std::string homeFolderPath_;
  bool deleteMailboxes_ = false;
  std::string exchangeServer_;
  std::string recipientsCont_;  // "/cn=recipients" once loaded with nothing usable stored
  bool showDomainSizeWarning_ = true;
  bool fastTarvikAlgorithm_ = false;
};

}  // namespace vantrel
