#include <algorithm>
#include <cstdio>
#include <utility>

#include "identifier/adapter_selection.h"
#include "identifier/identifier.h"
#include "inspect/inspector.h"
#include "inspect/json_text.h"
#include "inspect/report_text.h"

namespace hwid::inspect {
namespace {

bool WmiUnreachable(const std::vector<Fault>& faults) {
  return std::any_of(faults.begin(), faults.end(),
                     [](const Fault& fault) { return IsConnectionStage(fault.stage); });
}

bool AdapterUnreadable(const std::vector<Fault>& faults, const std::string& index) {
  return std::any_of(faults.begin(), faults.end(),
                     [&index](const Fault& fault) { return fault.adapter == index; });
}

Wording Describe(SelectionRule rule, const std::vector<Fault>& faults) {
  switch (rule) {
    case SelectionRule::NoAddress:
      return {"no-address", WmiUnreachable(faults) ? "no address: WMI could not be reached"
                                                   : "no address: WMI reports none"};
    case SelectionRule::SingleAddress:
      return {"single-address", "one address: it counts whatever its adapter is"};
    case SelectionRule::OwnsResource:
      return {"owns-resource", "several addresses: only adapters owning a hardware resource count"};
    case SelectionRule::AllAddresses:
      return {"all-addresses",
              "several addresses, no adapter owns a hardware resource: all of them count"};
  }
  return {};
}

std::string Joined(const std::vector<std::string>& texts, std::string_view separator,
                   std::string_view whenEmpty) {
  if (texts.empty()) {
    return std::string(whenEmpty);
  }
  std::string joined;
  for (const std::string& text : texts) {
    if (!joined.empty()) {
      joined += separator;
    }
    joined += text;
  }
  return joined;
}

std::vector<std::string> SortedAddresses(std::string_view addressText) {
  const SortedAddressLines lines(addressText);
  return {lines.begin(), lines.end()};
}

void AppendPadded(std::string& out, std::string_view text, std::size_t width) {
  out += text;
  out.append(width - std::min(width, text.size()) + 2, ' ');
}

// First, so that nobody reads the identifiers below without knowing they may lack something.
std::string FaultSection(const std::vector<Fault>& faults) {
  if (faults.empty()) {
    return {};
  }
  std::string out = "reading incomplete: ";
  out += faults.size() == 1 ? "a call" : std::to_string(faults.size()) + " calls";
  out += " failed, so the identifiers below may lack what could not be read\n";
  for (const Fault& fault : faults) {
    out += "  ";
    out += FaultText(fault);
    out += '\n';
  }
  out += '\n';
  return out;
}

std::string TextReport(const MachineFacts& facts) {
  std::string out = FaultSection(facts.faults);
  out += "volume serial  ";
  out += facts.serial ? SerialDescription(*facts.serial)
                      : std::string("unreadable: the identifier uses 0");
  out += "\n\nadapter configurations reported by WMI: ";
  if (!facts.configurations.empty()) {
    out += std::to_string(facts.configurations.size());
  } else {
    out += WmiUnreachable(facts.faults) ? "unknown, WMI could not be reached" : "none";
  }
  out += '\n';
  if (!facts.configurations.empty()) {
    std::vector<std::string> classColumn;
    std::size_t indexWidth = 5;
    std::size_t addressWidth = 7;
    std::size_t classWidth = 16;
    for (const AdapterConfiguration& configuration : facts.configurations) {
      classColumn.push_back(AdapterUnreadable(facts.faults, configuration.index)
                                ? std::string("unreadable")
                                : Joined(configuration.resourceClasses, ", ", "-"));
      indexWidth = std::max(indexWidth, configuration.index.size());
      addressWidth = std::max(addressWidth, configuration.address.size());
      classWidth = std::max(classWidth, classColumn.back().size());
    }
    out += "  ";
    AppendPadded(out, "index", indexWidth);
    AppendPadded(out, "address", addressWidth);
    AppendPadded(out, "resource classes", classWidth);
    out += "counts\n";
    for (std::size_t row = 0; row < facts.configurations.size(); ++row) {
      const AdapterConfiguration& configuration = facts.configurations[row];
      const AdapterVerdict verdict = JudgeAdapter(facts.selection.rule, configuration);
      out += "  ";
      AppendPadded(out, configuration.index, indexWidth);
      AppendPadded(out, configuration.address, addressWidth);
      AppendPadded(out, classColumn[row], classWidth);
      out += verdict.counts ? "yes: " : "no: ";
      out += verdict.reason;
      out += '\n';
    }
  }
  out += "\nselection      ";
  out += Describe(facts.selection.rule, facts.faults).text;
  out += "\naddresses      ";
  out += Joined(SortedAddresses(facts.selection.addressText), "\n               ", "none");
  out += "\n\nhwid           ";
  out += facts.bareSerial;
  out += "\nhwid oldtrial  ";
  out += facts.legacyIdentifier;
  out += "\nhwid WORD      ";
  out += facts.currentIdentifier;
  out += '\n';
  return out;
}

std::string JsonReport(const MachineFacts& facts) {
  std::string out =
      facts.serial ? "{\"serial\":{\"readable\":true," : "{\"serial\":{\"readable\":false,";
  out += SerialJsonFields(facts.serial.value_or(0));
  out += "},\"adapters\":[";
  for (const AdapterConfiguration& configuration : facts.configurations) {
    const AdapterVerdict verdict = JudgeAdapter(facts.selection.rule, configuration);
    if (out.back() == '}') {
      out += ',';
    }
    out += "{\"index\":" + JsonString(configuration.index);
    out += ",\"address\":" + JsonString(configuration.address);
    out += ",\"resourceClasses\":" + JsonStringArray(configuration.resourceClasses);
    out += verdict.counts ? ",\"counts\":true" : ",\"counts\":false";
    out += ",\"reason\":" + JsonString(verdict.reason) + "}";
  }
  out += "],\"rule\":" + JsonString(Describe(facts.selection.rule, facts.faults).name);
  out += ",\"addresses\":" + JsonStringArray(SortedAddresses(facts.selection.addressText));
  out += ",\"identifiers\":{\"bare\":" + JsonString(facts.bareSerial);
  out += ",\"legacy\":" + JsonString(facts.legacyIdentifier);
  out += ",\"current\":" + JsonString(facts.currentIdentifier) + "}";
  out += facts.faults.empty() ? ",\"complete\":true" : ",\"complete\":false";
  out += ",\"faults\":[";
  for (const Fault& fault : facts.faults) {
    if (out.back() == '}') {
      out += ',';
    }
    out += "{\"call\":" + JsonString(FaultCall(fault.stage));
    out += ",\"code\":" + JsonString(FaultCode(fault));
    out += ",\"adapter\":" + JsonString(fault.adapter);
    out += ",\"query\":" + JsonString(fault.query);
    out += ",\"property\":" + JsonString(fault.property);
    out += ",\"message\":" + JsonString(FaultMessage(fault));
    out += ",\"text\":" + JsonString(FaultText(fault)) + "}";
  }
  out += "]}\n";
  return out;
}

}  // namespace

MachineFacts ReadMachineFacts() {
  MachineFacts facts;
  // On this thread through the process-wide service, as `hwid` reads them.
  TWMIOperations& wmi = GetWMIOperations();
  Reading bare = ReadOutputText(hwid::Output::BareSerial, wmi);
  facts.bareSerial = std::move(bare.text);
  facts.faults = std::move(bare.faults);
  facts.serial = VolumeSerialNumber();
  facts.serialText = VolumeSerialText();
  facts.selection = SelectAdapterAddresses(wmi);
  facts.configurations = AdapterConfigurations(wmi);
  wmi.TakeFaults(facts.faults);
  // The composition `hwid oldtrial` and `hwid WORD` run, on the same selection.
  facts.legacyIdentifier = ComposeLegacyIdentifier(facts.serialText, facts.selection.addressText);
  facts.currentIdentifier = ComposeCurrentIdentifier(facts.serialText, facts.selection.addressText);
  return facts;
}

AdapterVerdict JudgeAdapter(SelectionRule rule, const AdapterConfiguration& configuration) {
  if (configuration.address.empty()) {
    return {false, "reports no address"};
  }
  switch (rule) {
    case SelectionRule::NoAddress:
      return {false, "WMI reported no address when the selection ran"};
    case SelectionRule::SingleAddress:
      return {true, "the only address WMI reports"};
    case SelectionRule::OwnsResource:
      return configuration.resourceClasses.empty()
                 ? AdapterVerdict{false, "owns no hardware resource"}
                 : AdapterVerdict{true, "owns a hardware resource"};
    case SelectionRule::AllAddresses:
      return {true, "all count: no adapter owns a hardware resource"};
  }
  return {};
}

std::string MachineReport(const MachineFacts& facts, bool json) {
  return json ? JsonReport(facts) : TextReport(facts);
}

Output MachineCommand(const MachineFacts& facts, bool json) {
  return {MachineReport(facts, json), {}, facts.faults.empty() ? kExitSuccess : kExitIncomplete};
}

}  // namespace hwid::inspect
