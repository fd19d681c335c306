#include "linux/capture/kwin_scripting.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "linux/bus_connection.h"
#include "linux/private_file.h"
#include "linux/sd_bus_ptr.h"

namespace brimwell {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kKwin = "org.kde.KWin";
constexpr const char* kAnswerPath = "/org/brimwell/KwinAnswer";
constexpr const char* kAnswerInterface = "org.brimwell.KwinAnswer";
constexpr const char* kAnswerMethod = "Report";

// What the answering object knows and has heard.
struct Listener {
  std::string kwin;   // KWin's unique connection name
  std::string token;  // this run's
  std::size_t ceiling = 0;
  std::optional<std::string> answer;
  bool refused = false;  // an answer came that was too large
};

int onAnswer(sd_bus_message* message, void* userdata, sd_bus_error* error) {
  auto& listener = *static_cast<Listener*>(userdata);
  const char* sender = sd_bus_message_get_sender(message);
  const char* token = nullptr;
  const char* answer = nullptr;
  if (sender == nullptr || listener.kwin != sender) {
    return sd_bus_error_set(error, SD_BUS_ERROR_ACCESS_DENIED, "Only KWin answers here.");
  }
  if (sd_bus_message_read(message, "ss", &token, &answer) < 0 || listener.token != token) {
    return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "Not this run's answer.");
  }
  if (std::strlen(answer) > listener.ceiling) {
    listener.refused = true;
  } else if (!listener.answer) {
    listener.answer = answer;
  }
  return sd_bus_reply_method_return(message, "");
}

const sd_bus_vtable kAnswerTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Report", "ss", "", onAnswer, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END,
};

std::uint64_t microsecondsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<std::uint64_t>(left.count()) : 1;
}

// Calls `member` on `path` of KWin's `interface` with the arguments `fill` appends; the reply,
// or the bus's sentence prefixed by `what`.
template <class Fill>
Result<SdBusMessage> call(sd_bus* bus, const char* destination, const std::string& path,
                          const char* interface, const char* member, Fill fill,
                          Clock::time_point deadline, const std::string& what) {
  sd_bus_message* raw = nullptr;
  if (sd_bus_message_new_method_call(bus, &raw, destination, path.c_str(), interface, member) < 0) {
    return fail(what + " couldn't be asked.");
  }
  SdBusMessage message(raw);
  if (fill(message.get()) < 0) return fail(what + " couldn't be asked.");
  SdBusError error;
  sd_bus_message* reply = nullptr;
  if (sd_bus_call(bus, message.get(), microsecondsUntil(deadline), error.get(), &reply) < 0) {
    return fail(what + " failed: " + busSentence(error.get(), "no answer") + ".");
  }
  return SdBusMessage(reply);
}

}  // namespace

Result<std::string> KwinScripting::run(const ScriptText& script) const {
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(timeout_));
  sd_bus* raw = nullptr;
  if (const int opened = sd_bus_open_user(&raw); opened < 0) {
    return fail(std::string("The session bus can't be reached: ") + std::strerror(-opened) + ".");
  }
  SdBus bus(raw);
  const char* self = nullptr;
  if (sd_bus_get_unique_name(bus.get(), &self) < 0) {
    return fail("The session bus gave this program no name.");
  }
  auto owner = call(
      bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
      "GetNameOwner", [](sd_bus_message* m) { return sd_bus_message_append(m, "s", kKwin); },
      deadline, "Asking for KWin on the session bus");
  if (!owner) return fail("KWin isn't running on the session bus.");
  const char* kwin = nullptr;
  if (sd_bus_message_read(owner->get(), "s", &kwin) < 0 || kwin == nullptr) {
    return fail("The session bus didn't say which connection is KWin.");
  }

  static std::atomic<unsigned> runs{0};
  const std::string name = "brimwell-" + std::to_string(::getpid()) + "-" + std::to_string(++runs);
  Listener listener{.kwin = kwin, .token = name, .ceiling = ceiling_};
  sd_bus_slot* slot = nullptr;
  if (sd_bus_add_object_vtable(bus.get(), &slot, kAnswerPath, kAnswerInterface, kAnswerTable,
                               &listener) < 0) {
    return fail("This program can't serve KWin's answer on the session bus.");
  }
  SdBusSlot served(slot);
  auto text = script(KwinReplyAddress{.busName = self,
                                      .path = kAnswerPath,
                                      .interface = kAnswerInterface,
                                      .method = kAnswerMethod,
                                      .token = name});
  if (!text) return Unexpected(text.error());
  const PrivateFile file(*text, ".js");
  if (file.path().empty()) return fail("The script for KWin can't be written.");

  auto loaded = call(
      bus.get(), kKwin, "/Scripting", "org.kde.kwin.Scripting", "loadScript",
      [&](sd_bus_message* m) {
        return sd_bus_message_append(m, "ss", file.path().c_str(), name.c_str());
      },
      deadline, "Loading a script into KWin");
  if (!loaded) return Unexpected(loaded.error());
  std::int32_t id = -1;
  if (sd_bus_message_read((*loaded).get(), "i", &id) < 0 || id < 0) {
    return fail("KWin refused to load the script.");
  }
  // Unloaded however the run ends; KWin forgets it then.
  struct Unload {
    sd_bus* bus;
    const std::string& name;
    ~Unload() {
      // A KWin that doesn't answer keeps a script that has already run; nothing more to do.
      (void)call(
          bus, kKwin, "/Scripting", "org.kde.kwin.Scripting", "unloadScript",
          [&](sd_bus_message* m) { return sd_bus_message_append(m, "s", name.c_str()); },
          Clock::now() + std::chrono::milliseconds(500), "Unloading the script");
    }
  } unload{bus.get(), name};

  // KWin 5 names a script's object by its number alone; later versions under /Scripting.
  const auto noArguments = [](sd_bus_message*) { return 0; };
  auto started = call(bus.get(), kKwin, "/" + std::to_string(id), "org.kde.kwin.Script", "run",
                      noArguments, deadline, "Running the script in KWin");
  if (!started) {
    started =
        call(bus.get(), kKwin, "/Scripting/Script" + std::to_string(id), "org.kde.kwin.Script",
             "run", noArguments, deadline, "Running the script in KWin");
  }
  if (!started) return Unexpected(started.error());

  while (!listener.answer && !listener.refused) {
    int processed = 0;
    while ((processed = sd_bus_process(bus.get(), nullptr)) > 0 && !listener.answer &&
           !listener.refused) {
    }
    if (processed < 0) return fail("The session bus connection was lost.");
    if (listener.answer || listener.refused) break;
    if (Clock::now() >= deadline) return fail("KWin's script didn't answer in time.");
    if (sd_bus_wait(bus.get(), microsecondsUntil(deadline)) < 0) {
      return fail("The session bus connection was lost.");
    }
  }
  if (listener.refused) return fail("KWin's script answered with more than this program reads.");
  return std::move(*listener.answer);
}

}  // namespace brimwell
