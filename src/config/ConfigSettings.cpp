#include "config/ConfigSettings.h"

#include <memory>
#include <utility>

#include "common/Text.h"
#include "common/VantrelError.h"
#include "config/FileRegistry.h"
#include "config/OrvexRegistry.h"
#include "config/SettingsFilePath.h"

namespace vantrel {

namespace {

// One value read: any failure leaves the field as it was and reading goes on.
template <typename Read>
void ReadAlone(Read&& read) {
  try {
    read();
  } catch (const VantrelError&) {
  }
}

}  // namespace

TVTRConfigSettings::TVTRConfigSettings() = default;

TVTRConfigSettings::TVTRConfigSettings(std::filesystem::path registryFile) : registryFile_(std::move(registryFile)) {}

std::string TVTRConfigSettings::KeyPath() const { return std::string(kKeyRoot) + domainName_; }

void TVTRConfigSettings::SetDCList(const std::vector<std::string>& list) {
  if (list != dcList_) {
    dcList_ = list;
    modified_ = true;
  }
}

void TVTRConfigSettings::ReadSettings() {
  std::unique_ptr<FileRegistry> store;
  try {
    store = std::make_unique<FileRegistry>(registryFile_.empty() ? SettingsFilePath() : registryFile_);
  } catch (const VantrelError&) {
    // No home folder at all: nothing can be loaded, so the defaults stay and closing offers to save.
    modified_ = true;
    recipientsCont_ = std::string(kDefaultRecipientsCont);
    return;
  }
  ReadSettings(*store);
}

void TVTRConfigSettings::ReadSettings(Registry& store) {
  TOrvexRegistry registry(store);
  if (registry.OpenKey(KeyPath(), false)) {
    auto readBool = [&registry](const char* name, bool& field) { ReadAlone([&] { field = registry.ReadBool(name); }); };
    auto readInteger = [&registry](const char* name, std::int32_t& field) {
      ReadAlone([&] { field = registry.ReadInteger(name); });
    };
    auto readString = [&registry](const char* name, std::string& field) {
      ReadAlone([&] { field = registry.ReadString(name); });
    };
    // A list read empties the list first; a duplicate in a sorted list ends the read with the entries
    // before it kept.
    ReadAlone([&] { registry.ReadStringList("DCList", dcList_); });
    readBool("UserWarning", userWarning_);
    readInteger("UserWarningDays", userWarningDays_);
    readBool("UserDisable", userDisable_);
    readInteger("UserDisableDays", userDisableDays_);
    readBool("UserDelete", userDelete_);
    readInteger("UserDeleteDays", userDeleteDays_);
    readInteger("UserUnusedAccountAction", userUnusedAccountAction_);
    ReadAlone([&] { registry.ReadStringList("UserIgnoreList", userIgnoreList_); });
    readBool("UserIgnoreNeverExp", userIgnoreNeverExp_);
    readBool("UserIgnoreDisabled", userIgnoreDisabled_);
    readBool("ComputerWarning", computerWarning_);
    readInteger("ComputerWarningDays", computerWarningDays_);
    readBool("ComputerDisable", computerDisable_);
    readInteger("ComputerDisableDays", computerDisableDays_);
    readBool("ComputerDelete", computerDelete_);
    readInteger("ComputerDeleteDays", computerDeleteDays_);
    ReadAlone([&] { registry.ReadStringList("ComputerIgnoreList", computerIgnoreList_); });
    readBool("ComputerIgnoreDisabled", computerIgnoreDisabled_);
    readInteger("MaxThreads", maxThreads_);
    readBool("ShowStats", showStats_);
    readBool("DCCheck", dcCheck_);
    readInteger("HomeFolderAction", homeFolderAction_);
    readString("HomeFolderPath", homeFolderPath_);
    readBool("DeleteMailboxes", deleteMailboxes_);
    readString("ExchangeServer", exchangeServer_);
    readString("RecipientsCont", recipientsCont_);
    readBool("ShowDomainSizeWarning", showDomainSizeWarning_);
    readBool("FastTarvikAlgorithm", fastTarvikAlgorithm_);
    registry.CloseKey();
  } else {
    modified_ = true;
  }
  // Blanks are looked through only for this test; a usable value is kept exactly as stored.
  if (TrimLow(recipientsCont_).empty()) recipientsCont_ = std::string(kDefaultRecipientsCont);
}

void TVTRConfigSettings::WriteSettings() {
  FileRegistry store(registryFile_.empty() ? SettingsFilePath() : registryFile_);
  WriteSettings(store);
}

void TVTRConfigSettings::OpenForWriting(TOrvexRegistry& registry) const {
  const std::string keyPath = KeyPath();
  if (!registry.OpenKey(keyPath, true)) {
    throw VantrelError(InsertText("TVTRConfigSettings.WriteSettings: Could not open %s", keyPath));
  }
}

void TVTRConfigSettings::WriteDCList() {
  FileRegistry store(registryFile_.empty() ? SettingsFilePath() : registryFile_);
  WriteDCList(store);
}

void TVTRConfigSettings::WriteDCList(Registry& store) {
  TOrvexRegistry registry(store);
  OpenForWriting(registry);
  registry.WriteStringList("DCList", dcList_);
  registry.Commit();
  registry.CloseKey();
}

void TVTRConfigSettings::WriteSettings(Registry& store) {
  TOrvexRegistry registry(store);
  OpenForWriting(registry);
  registry.WriteStringList("DCList", dcList_);
  registry.WriteBool("UserWarning", userWarning_);
  registry.WriteInteger("UserWarningDays", userWarningDays_);
  registry.WriteBool("UserDisable", userDisable_);
  registry.WriteInteger("UserDisableDays", userDisableDays_);
  registry.WriteBool("UserDelete", userDelete_);
  registry.WriteInteger("UserDeleteDays", userDeleteDays_);
  registry.WriteInteger("UserUnusedAccountAction", userUnusedAccountAction_);
  registry.WriteStringList("UserIgnoreList", userIgnoreList_);
  registry.WriteBool("UserIgnoreNeverExp", userIgnoreNeverExp_);
  registry.WriteBool("UserIgnoreDisabled", userIgnoreDisabled_);
  registry.WriteBool("ComputerWarning", computerWarning_);
  registry.WriteInteger("ComputerWarningDays", computerWarningDays_);
  registry.WriteBool("ComputerDisable", computerDisable_);
  registry.WriteInteger("ComputerDisableDays", computerDisableDays_);
  registry.WriteBool("ComputerDelete", computerDelete_);
  registry.WriteInteger("ComputerDeleteDays", computerDeleteDays_);
  registry.WriteStringList("ComputerIgnoreList", computerIgnoreList_);
  registry.WriteBool("ComputerIgnoreDisabled", computerIgnoreDisabled_);
  registry.WriteInteger("MaxThreads", maxThreads_);
  registry.WriteBool("ShowStats", showStats_);
  registry.WriteBool("DCCheck", dcCheck_);
  registry.WriteInteger("HomeFolderAction", homeFolderAction_);
  registry.WriteString("HomeFolderPath", homeFolderPath_);
  registry.WriteBool("DeleteMailboxes", deleteMailboxes_);
  registry.WriteString("ExchangeServer", exchangeServer_);
  registry.WriteString("RecipientsCont", recipientsCont_);
  registry.WriteBool("ShowDomainSizeWarning", showDomainSizeWarning_);
  registry.WriteBool("FastTarvikAlgorithm", fastTarvikAlgorithm_);
  registry.Commit();
  registry.CloseKey();
}

}  // namespace vantrel
