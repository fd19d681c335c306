// EmacsServer: how the save pass reaches a running Emacs: it evaluates one form in the user's
// Emacs server and gives back what the client printed. The emacsclient one runs the client as a
// child process with a deadline (the default server, or the socket given); tests give their own
// daemon's socket or an EmacsServer that fails. Callable from any one thread at a time.
#pragma once

#include <string>

#include "brimwell/core/base/error.h"

namespace brimwell {

class EmacsServer {
 public:
  virtual ~EmacsServer() = default;
  // The printed value of `form`, or why the server couldn't be asked; an answer that doesn't come
  // within `timeout` seconds fails with code ETIMEDOUT.
  virtual Result<std::string> eval(const std::string& form, double timeout) = 0;
};

class EmacsClientServer final : public EmacsServer {
 public:
  // `socket` empty: the server emacsclient finds by itself.
  explicit EmacsClientServer(std::string socket = {}) : socket_(std::move(socket)) {}
  Result<std::string> eval(const std::string& form, double timeout) override;

 private:
  std::string socket_;
};

}  // namespace brimwell
