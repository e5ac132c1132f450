// The machine identifier that `hwid` prints: the volume serial text, "010", then the sorted
// adapter addresses with every character written as its decimal code. The zero-argument functions
// read this machine; the overloads take their inputs, so the same code composes any identifier.
//
// Reading this machine from inside another program: the library reads it on a thread of its own,
// started on first use and set up exactly as the `hwid` program's main thread is, so the answer
// does not depend on the calling thread's COM apartment, on COM security the host has set, or on
// how many threads call at once. Each reading waits at most the time limit. However long the
// machine stays stuck, the library holds at most three threads of its own.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hwid/fault.h"

namespace hwid {

// The serial number of the volume whose root is "C:\", if it can be read; a failed read is added
// to `faults`. (A volume without a label is no fault: the serial alone is asked for.)
std::optional<std::uint32_t> VolumeSerialNumber();
std::optional<std::uint32_t> VolumeSerialNumber(std::vector<Fault>& faults);

// The serial number as unsigned decimal text; empty when it cannot be read.
std::string VolumeSerialText();

// The serial as C's "%d" prints it: a set top bit gives a minus sign; unreadable prints "0".
std::string SignedSerialText(std::optional<std::uint32_t> serial);

// What `hwid` prints with no argument; empty when the machine was not read. It cannot tell a
// failed reading from a good one: a caller that must know calls ReadOutput.
std::string BareSerialText();

// Layouts from given inputs: `addressText` is a tab-joined list of addresses. An empty serial
// text stands for an unreadable volume and gives "0".
std::string ComposeLegacyIdentifier(std::string_view serialText, std::string_view addressText);
std::string ComposeCurrentIdentifier(std::string_view serialText, std::string_view addressText);

// Layouts of this machine: what `hwid oldtrial` and `hwid` with any other argument print; empty
// when the machine was not read. No identifier is empty. A failed WMI or volume reading still
// gives `hwid`'s text (the serial and "010" alone, say): a caller that must not take it for a
// good identifier, such as a licence check, calls ReadOutput and checks its status.
std::string ComposeLegacyIdentifier();
std::string ComposeCurrentIdentifier();

// The three outputs of `hwid`: no argument, exactly "oldtrial", any other first argument.
enum class Output {
  BareSerial,
  LegacyIdentifier,
  CurrentIdentifier,
};

enum class ReadStatus {
  Ok,
  TimedOut,       // the machine did not answer within the time limit
  InternalError,  // out of memory, or the library's thread could not start
  Incomplete,     // read, but a call failed on the way: the text may lack what it could not read
  NotResponding,  // returned at once: the library's threads are all stuck in readings that timed
                  // out, and the machine has not answered any of them yet
};

struct Reading {
  ReadStatus status = ReadStatus::InternalError;
  std::string text;           // what `hwid` prints, when the status is Ok or Incomplete; else empty
  std::vector<Fault> faults;  // what failed, when the status is Incomplete
};

// One output of this machine, and whether it was read fully. After a time-out the thread that
// did not answer is left behind and the next reading starts a fresh one, up to three threads in
// all; while three are stuck, readings are NotResponding until one of them returns.
Reading ReadOutput(Output output);

// The time limit of each reading of this machine (default 30 s), for readings that start after it
// is set. False, and the limit unchanged, unless it is 1 ms to 2^32 - 1 ms.
bool SetTimeLimit(std::chrono::milliseconds limit);
std::chrono::milliseconds TimeLimit();

}  // namespace hwid
