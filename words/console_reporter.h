// vxsrom's words for what the controller and ROM code report: the exact
// console text that factory scripts read, and a reason on standard error
// for every failure.  vxrom speaks through it too, with its own console
// and option names.
#ifndef VXSROM_WORDS_CONSOLE_REPORTER_H_
#define VXSROM_WORDS_CONSOLE_REPORTER_H_

#include "words/voice.h"
#include "device/report.h"

/// Turns events into console text.
class ConsoleReporter : public Reporter {
 public:
  /// @param address_option, revision_option, srom_option how reasons name
  ///        the options that choose the target, skip the revision rules
  ///        and choose the ROM type.
  ConsoleReporter(const Console& console, const wchar_t* address_option,
                  const wchar_t* revision_option,
                  const wchar_t* srom_option = L"/srom")
      : console_(console),
        address_option_(address_option),
        revision_option_(revision_option),
        srom_option_(srom_option) {}

  void Report(const Event& event) override;

 private:
  void ReportTarget(const Event& event);
  void ReportListing(const Event& event);
  void ReportOperation(const Event& event);
  void ReportFile(const Event& event);
  void ReportWriteAll(const Event& event);
  void ReportStop(const Event& event);
  void ReportImageBuild(const Event& event);
  /// The chip model line of revisions 3 and 4; nothing for others.
  void ChipModel(uint8_t chip_revision);
  /// A ROM type as the user chose it.
  std::wstring ChosenType(int selector) const;

  const Console& console_;
  const wchar_t* address_option_;
  const wchar_t* revision_option_;
  const wchar_t* srom_option_;
};

#endif  // VXSROM_WORDS_CONSOLE_REPORTER_H_
