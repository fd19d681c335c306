// How the save pass saves a Neovim server's buffers: every loaded, modified buffer of text is
// looked at through the RPC API (nvim_list_bufs, nvim_buf_get_option, nvim_buf_get_name); one
// that visits a file it may write, unchanged on disk since it was read, is written in place
// (`:write` in that buffer), every other (an unnamed buffer, a read-only, unwritable or changed
// file, an `acwrite` buffer) is copied into the
// rescue folder from nvim_buf_get_lines and stays modified in Neovim. Help, terminal, prompt and
// other special buffers are left alone. The decision is a pure function; the conversation is
// bounded by the deadline it is given.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "brimwell/core/base/error.h"
#include "linux/save/buffer_reports.h"
#include "linux/save/nvim_connection.h"

namespace brimwell {

// What Neovim says about one buffer, and whether its file may be written.
struct NvimBuffer {
  MsgValue handle;   // the buffer handle as the server sent it
  std::string name;  // its file, empty for an unnamed buffer
  std::string buftype;
  bool modified = false;
  bool readonly = false;
  bool fileWritable = false;   // the file exists and this user may write it, or may be created
  bool changedOnDisk = false;  // the file changed since Neovim read it
  friend bool operator==(const NvimBuffer&, const NvimBuffer&) = default;
};

enum class NvimBufferAction { leave, save, rescue };

NvimBufferAction nvimBufferAction(const NvimBuffer& buffer);

// The buffer's title in the reports: its file name, or "[No Name]".
std::string nvimBufferTitle(const NvimBuffer& buffer);

// The name of the rescue copy of `buffer` with `n` copies of that stem already there
// ("Neovim - notes.md", "Neovim - No Name (2).txt"): the file's base name with anything but
// letters, digits, spaces and ._+- dropped, ".txt" added when there is no file name extension.
std::string nvimRescueName(const NvimBuffer& buffer, int n);

// The lines Neovim holds, as the file's text: each line ended by a newline.
std::string nvimBufferText(const MsgArray& lines);

// Saves and rescues every buffer of the server on `connection`, copies going into `folder`
// (created when needed). Fails only when the buffers can't be listed; a buffer that can't be
// handled is reported as failed and the others go on.
Result<std::vector<BufferReport>> saveNvimBuffers(NvimConnection& connection,
                                                  const std::filesystem::path& folder,
                                                  NvimConnection::Deadline deadline);

}  // namespace brimwell
