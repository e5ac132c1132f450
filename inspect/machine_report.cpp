#include <algorithm>
#include <cstdio>

#include "identifier/adapter_selection.h"
#include "identifier/identifier.h"
#include "inspect/inspector.h"
#include "inspect/json_text.h"
#include "inspect/report_text.h"

namespace hwid::inspect {
namespace {

Wording Describe(SelectionRule rule) {
  switch (rule) {
    case SelectionRule::NoAddress:
      return {"no-address", "no address: WMI reports none, or cannot be reached"};
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

std::string TextReport(const MachineFacts& facts) {
  std::string out = "volume serial  ";
  out += facts.serial ? SerialDescription(*facts.serial)
                      : std::string("unreadable: the identifier uses 0");
  out += "\n\nadapter configurations reported by WMI: ";
  out += facts.configurations.empty() ? "none" : std::to_string(facts.configurations.size());
  out += '\n';
  if (!facts.configurations.empty()) {
    std::vector<std::string> classColumn;
    std::size_t indexWidth = 5;
    std::size_t addressWidth = 7;
    std::size_t classWidth = 16;
    for (const AdapterConfiguration& configuration : facts.configurations) {
      classColumn.push_back(Joined(configuration.resourceClasses, ", ", "-"));
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
  out += Describe(facts.selection.rule).text;
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
  out += "],\"rule\":" + JsonString(Describe(facts.selection.rule).name);
  out += ",\"addresses\":" + JsonStringArray(SortedAddresses(facts.selection.addressText));
  out += ",\"identifiers\":{\"bare\":" + JsonString(facts.bareSerial);
  out += ",\"legacy\":" + JsonString(facts.legacyIdentifier);
  out += ",\"current\":" + JsonString(facts.currentIdentifier) + "}}\n";
  return out;
}

}  // namespace

MachineFacts ReadMachineFacts() {
  MachineFacts facts;
  facts.serial = VolumeSerialNumber();
  facts.serialText = VolumeSerialText();
  // On this thread through the process-wide service, as `hwid` reads them.
  TWMIOperations& wmi = GetWMIOperations();
  facts.bareSerial = OutputText(hwid::Output::BareSerial, wmi);
  facts.selection = SelectAdapterAddresses(wmi);
  facts.configurations = AdapterConfigurations(wmi);
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

}  // namespace hwid::inspect
