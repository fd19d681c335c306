#include "linux/save/nvim_save.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

namespace brimwell {
namespace {

// Writes the buffer's `:write` inside it without making it current in any window.
constexpr const char* kWriteInBuffer =
    "local buffer = ...\n"
    "vim.api.nvim_buf_call(buffer, function() vim.cmd('silent write') end)\n";

// Whether the buffer's file changed on disk since Neovim read it. `:checktime` tells through
// FileChangedShell; with a handler of ours for the moment, Neovim neither asks the user nor
// reloads the buffer (a prompt would stall the server, and a reload would drop the changes).
constexpr const char* kChangedOnDisk =
    "local buffer = ...\n"
    "local changed = false\n"
    "local group = vim.api.nvim_create_augroup('BrimwellChangedOnDisk', {clear = true})\n"
    "vim.api.nvim_create_autocmd('FileChangedShell', {group = group, buffer = buffer,\n"
    "  callback = function() changed = true; vim.v.fcs_choice = '' end})\n"
    "pcall(vim.cmd, 'checktime ' .. buffer)\n"
    "vim.api.nvim_del_augroup_by_id(group)\n"
    "return changed\n";

bool fileMayBeWritten(const std::string& name) {
  if (name.empty() || name.front() != '/') return false;
  if (::access(name.c_str(), F_OK) == 0) return ::access(name.c_str(), W_OK) == 0;
  const auto parent = std::filesystem::path(name).parent_path();
  return errno == ENOENT && ::access(parent.c_str(), W_OK | X_OK) == 0;
}

// A new file in `folder` for `buffer`'s copy, created exclusively; the name it got.
Result<std::filesystem::path> writeRescueCopy(const std::filesystem::path& folder,
                                              const NvimBuffer& buffer, const std::string& text) {
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  for (int n = 1; n <= 1000; ++n) {
    const auto path = folder / nvimRescueName(buffer, n);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return fail("Brimwell couldn't create a copy in the rescue folder.", errno);
    std::size_t at = 0;
    while (at < text.size()) {
      const auto written = ::write(fd, text.data() + at, text.size() - at);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(path.c_str());
        return fail("Brimwell couldn't write the copy in the rescue folder.", error);
      }
      at += static_cast<std::size_t>(written);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
      return fail("Brimwell couldn't write the copy in the rescue folder.", errno);
    }
    return path;
  }
  return fail("The rescue folder already holds a thousand copies of this buffer.");
}

Result<bool> boolOption(NvimConnection& connection, const MsgValue& handle, const char* option,
                        NvimConnection::Deadline deadline) {
  auto value = connection.call("nvim_buf_get_option", {handle, {std::string(option)}}, deadline);
  if (!value) return Unexpected(value.error());
  if (!value->boolean()) return fail("Neovim answered with something Brimwell can't read.");
  return *value->boolean();
}

Result<std::string> textOf(Result<MsgValue> value) {
  if (!value) return Unexpected(value.error());
  if (!value->string()) return fail("Neovim answered with something Brimwell can't read.");
  return *value->string();
}

// What the server says about the buffer; nothing when it is not loaded or not modified.
Result<std::optional<NvimBuffer>> describe(NvimConnection& connection, const MsgValue& handle,
                                           NvimConnection::Deadline deadline) {
  auto loaded = connection.call("nvim_buf_is_loaded", {handle}, deadline);
  if (!loaded) return Unexpected(loaded.error());
  if (!loaded->boolean() || !*loaded->boolean()) return std::optional<NvimBuffer>{};
  auto modified = boolOption(connection, handle, "modified", deadline);
  if (!modified) return Unexpected(modified.error());
  if (!*modified) return std::optional<NvimBuffer>{};
  NvimBuffer buffer{.handle = handle, .modified = true};
  auto buftype =
      textOf(connection.call("nvim_buf_get_option", {handle, {std::string("buftype")}}, deadline));
  if (!buftype) return Unexpected(buftype.error());
  buffer.buftype = *buftype;
  auto readonly = boolOption(connection, handle, "readonly", deadline);
  if (!readonly) return Unexpected(readonly.error());
  buffer.readonly = *readonly;
  auto name = textOf(connection.call("nvim_buf_get_name", {handle}, deadline));
  if (!name) return Unexpected(name.error());
  buffer.name = *name;
  buffer.fileWritable = fileMayBeWritten(buffer.name);
  if (!buffer.name.empty() && buffer.buftype.empty()) {
    auto changed = connection.call("nvim_exec_lua",
                                   {{std::string(kChangedOnDisk)}, {MsgArray{handle}}}, deadline);
    if (!changed) return Unexpected(changed.error());
    if (!changed->boolean()) return fail("Neovim answered with something Brimwell can't read.");
    buffer.changedOnDisk = *changed->boolean();
  }
  return std::optional<NvimBuffer>{std::move(buffer)};
}

BufferReport save(NvimConnection& connection, const NvimBuffer& buffer,
                  NvimConnection::Deadline deadline) {
  const auto title = nvimBufferTitle(buffer);
  auto written = connection.call(
      "nvim_exec_lua", {{std::string(kWriteInBuffer)}, {MsgArray{buffer.handle}}}, deadline);
  if (!written)
    return {.kind = BufferReport::Kind::failed, .buffer = title, .file = written.error().message()};
  auto modified = boolOption(connection, buffer.handle, "modified", deadline);
  if (!modified)
    return {
        .kind = BufferReport::Kind::failed, .buffer = title, .file = modified.error().message()};
  if (*modified)
    return {.kind = BufferReport::Kind::failed, .buffer = title, .file = "It stayed modified."};
  return {.kind = BufferReport::Kind::saved, .buffer = title, .file = buffer.name};
}

BufferReport rescue(NvimConnection& connection, const NvimBuffer& buffer,
                    const std::filesystem::path& folder, NvimConnection::Deadline deadline) {
  const auto title = nvimBufferTitle(buffer);
  const auto failed = [&](const Error& error) {
    return BufferReport{
        .kind = BufferReport::Kind::failed, .buffer = title, .file = error.message()};
  };
  auto lines =
      connection.call("nvim_buf_get_lines",
                      {buffer.handle, {std::int64_t{0}}, {std::int64_t{-1}}, {false}}, deadline);
  if (!lines) return failed(lines.error());
  if (!lines->array()) return failed(Error("Neovim answered with something Brimwell can't read."));
  for (const auto& line : *lines->array()) {
    if (!line.string()) return failed(Error("Neovim answered with something Brimwell can't read."));
  }
  auto copy = writeRescueCopy(folder, buffer, nvimBufferText(*lines->array()));
  if (!copy) return failed(copy.error());
  return {.kind = BufferReport::Kind::rescued, .buffer = title, .file = copy->string()};
}

}  // namespace

NvimBufferAction nvimBufferAction(const NvimBuffer& buffer) {
  if (!buffer.modified) return NvimBufferAction::leave;
  if (buffer.buftype == "acwrite") return NvimBufferAction::rescue;
  if (!buffer.buftype.empty()) return NvimBufferAction::leave;
  if (buffer.name.empty() || buffer.readonly || !buffer.fileWritable || buffer.changedOnDisk) {
    return NvimBufferAction::rescue;
  }
  return NvimBufferAction::save;
}

std::string nvimBufferTitle(const NvimBuffer& buffer) {
  return buffer.name.empty() ? "[No Name]" : buffer.name;
}

std::string nvimRescueName(const NvimBuffer& buffer, int n) {
  const auto base = std::filesystem::path(buffer.name).filename().string();
  std::string stem;
  for (const char c : base) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isalnum(u) || u >= 0x80 || std::strchr(" ._+-", c) != nullptr) stem += c;
  }
  while (!stem.empty() && stem.front() == '.') stem.erase(0, 1);
  if (stem.empty()) stem = buffer.name.empty() ? "No Name" : "buffer";
  const auto dot = stem.rfind('.');
  const bool hasExtension = dot != std::string::npos && dot > 0 && dot + 1 < stem.size();
  const std::string extension = hasExtension ? stem.substr(dot) : ".txt";
  if (hasExtension) stem.resize(dot);
  const std::string counter = n > 1 ? " (" + std::to_string(n) + ")" : "";
  return "Neovim - " + stem + counter + extension;
}

std::string nvimBufferText(const MsgArray& lines) {
  std::string text;
  for (const auto& line : lines) {
    if (const auto* s = line.string()) text += *s;
    text += '\n';
  }
  return text;
}

Result<std::vector<BufferReport>> saveNvimBuffers(NvimConnection& connection,
                                                  const std::filesystem::path& folder,
                                                  NvimConnection::Deadline deadline) {
  auto listed = connection.call("nvim_list_bufs", {}, deadline);
  if (!listed) return Unexpected(listed.error());
  if (!listed->array()) return fail("Neovim answered with something Brimwell can't read.");
  std::vector<BufferReport> reports;
  for (const auto& handle : *listed->array()) {
    auto buffer = describe(connection, handle, deadline);
    if (!buffer) {
      reports.push_back({.kind = BufferReport::Kind::failed,
                         .buffer = "buffer",
                         .file = buffer.error().message()});
      if (buffer.error().code() != 0) break;  // the connection is gone
      continue;
    }
    if (!*buffer) continue;
    switch (nvimBufferAction(**buffer)) {
      case NvimBufferAction::leave:
        break;
      case NvimBufferAction::save:
        reports.push_back(save(connection, **buffer, deadline));
        break;
      case NvimBufferAction::rescue:
        reports.push_back(rescue(connection, **buffer, folder, deadline));
        break;
    }
  }
  return reports;
}

}  // namespace brimwell
