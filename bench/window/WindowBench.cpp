// Fills the window's results view with 100,000 results, sorts it by a column click, saves it and
// opens it again through the window's own handlers, printing the time of each and the longest
// stretch without event processing in it.
//   window_bench [RESULTS]
#include <stdlib.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "actions/ExchangeHelper.h"
#include "app/ExchangeCheck.h"
#include "app/HelpViewer.h"
#include "app/MessageBoxes.h"
#include "app/ScanPage.h"
#include "app/TfrmMain.h"
#include "app/WebLinks.h"
#include "common/Clock.h"
#include "lab/LabJson.h"
#include "lab/SimNetApi.h"
#include "results/ScanResult.h"

namespace {

using Steady = std::chrono::steady_clock;

class NoHelp final : public vantrel::HelpViewer {
 public:
  void ShowHelp(int /*context*/) override {}
};
class NoLinks final : public vantrel::WebLinks {
 public:
  void OpenWebPage(const QString& /*address*/) override {}
};
class ExchangeAvailable final : public vantrel::ExchangeCheck {
 public:
  std::optional<std::pair<std::string, std::string>> Check() override { return std::nullopt; }
};

// Every pass of the event dispatcher, wherever it comes from (the window's own processEvents or the
// core's ProcessEvents hook), wakes it: the gaps between wake-ups are what the user waits for.
class EventGapMeter {
 public:
  EventGapMeter() {
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, [this] { Tick(); });
  }
  void Start() {
    start_ = last_ = Steady::now();
    longest_ = Steady::duration::zero();
    passes_ = 0;
  }
  void Tick() {
    const auto now = Steady::now();
    longest_ = std::max(longest_, now - last_);
    last_ = now;
    ++passes_;
  }
  // Ends a measurement: the gap up to the end counts too.
  void Stop() {
    const auto now = Steady::now();
    longest_ = std::max(longest_, now - last_);
    total_ = now - start_;
  }
  double Seconds() const { return std::chrono::duration<double>(total_).count(); }
  double LongestGapMs() const { return std::chrono::duration<double, std::milli>(longest_).count(); }
  long Passes() const { return passes_; }

 private:
  Steady::time_point start_{};
  Steady::time_point last_{};
  Steady::duration longest_{};
  Steady::duration total_{};
  long passes_ = 0;
};

const char* const kLab = R"({"local_domain": "BENCH", "domains": [{"name": "BENCH",
  "controllers": [{"name": "DC1", "primary": true}], "accounts": [{"name": "admin"}]}]})";

bool Report(const char* what, const EventGapMeter& meter, double targetSeconds) {
  const bool met = meter.Seconds() <= targetSeconds && meter.LongestGapMs() <= 100.0;
  std::printf(
      "%-5s %7.3f s (target %.1f s)   longest gap between event passes %7.1f ms (target 100 ms)   passes %ld  %s\n",
      what, meter.Seconds(), targetSeconds, meter.LongestGapMs(), meter.Passes(), met ? "ok" : "MISSED");
  return met;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  using namespace vantrel;
  const long count = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 100000;

  QTemporaryDir folder;
  const std::filesystem::path root = folder.path().toStdString();
  const SystemClock& clock = SystemClock::Instance();
  lab::ImportJson(kLab, root / "lab", clock);
  netapi::SimNetApi net(root / "lab", clock);
  // A controller in the list, so the first activation does not open Configure.
  {
    std::FILE* settings = std::fopen((root / "settings.reg").c_str(), "wb");
    if (settings == nullptr) return 1;
    std::fputs(
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Orvex\\Vantrel\\2.0\\BENCH]\r\n"
        "\"DCList\"=hex(7):44,43,31,00,00\r\n",
        settings);
    std::fclose(settings);
  }
  MessageBoxes boxes;
  boxes.SetScripted(true);
  NoHelp help;
  NoLinks links;
  ExchangeAvailable exchange;
  const ExchangeHelper exchangeHelper(ExchangeHelper::Files{root / "VTREX.DLL", root / "DAPI.DLL"});
  TfrmMain window(
      AppServices{net, boxes, help, links, clock, exchange, exchangeHelper, nullptr, root / "settings.reg"});
  window.FormCreate();
  window.show();
  window.PageControl()->setCurrentWidget(window.Scan());
  QApplication::processEvents();
  auto* view = window.findChild<QTreeView*>(QStringLiteral("lvwScanResults"));

  // Names in the shapes a domain has: users and computers, unsorted, with every action and marker.
  TVTRScanResults& results = window.Results();
  results.Reserve(static_cast<std::size_t>(count));
  for (long i = 0; i < count; ++i) {
    const long scrambled = (i * 7919) % count;
    std::string name = (i % 5 == 0 ? "WS" : "user.") + std::to_string(scrambled) + (i % 5 == 0 ? "$" : "");
    const std::int32_t days = i % 97 == 0 ? kDaysNever : static_cast<std::int32_t>(scrambled % 4000);
    results.Add(std::move(name), days, actShow + static_cast<std::int32_t>(i % 3));
  }
  results.Sort(0);

  EventGapMeter meter;
  bool allMet = true;
  std::printf("results: %ld\n", count);

  meter.Start();
  window.SetBusy(true);
  window.Scan()->FillResultsView(true);
  window.SetBusy(false);
  meter.Stop();
  allMet &= Report("fill", meter, 1.0);

  meter.Start();
  emit view->header()->sectionClicked(1);
  meter.Stop();
  allMet &= Report("sort", meter, 0.5);

  const QString file = folder.filePath(QStringLiteral("unused_accounts.txt"));
  const auto choose = [&file](QDialog& dialog) {
    static_cast<QFileDialog&>(dialog).selectFile(file);
    dialog.accept();
  };
  boxes.QueueDialog(choose);
  meter.Start();
  window.Scan()->btnScanSaveResult->click();
  meter.Stop();
  allMet &= Report("save", meter, 1.0);

  boxes.QueueDialog(choose);
  meter.Start();
  window.Scan()->btnScanOpenResult->click();
  meter.Stop();
  allMet &= Report("open", meter, 2.0);

  const long rows = view->model()->rowCount();
  std::printf("rows in the view after the open: %ld\n", rows);
  if (!boxes.Unexpected().isEmpty())
    std::fprintf(stderr, "unexpected: %s\n", qPrintable(boxes.Unexpected().join(QStringLiteral("; "))));
  return allMet && rows == count && boxes.Unexpected().isEmpty() ? 0 : 1;
}
