#include "linux/save/emacs_save.h"

#include "brimwell/core/storage/base64.h"

namespace brimwell {
namespace {

// The form, with RESCUE-FOLDER standing for the folder's string literal. Each buffer is handled
// on its own, so one that errs is reported and the others are still saved. A buffer's file that
// changed on disk or can't be written is rescued rather than saved over.
constexpr std::string_view kForm = R"lisp(
(let ((folder RESCUE-FOLDER) (reports nil))
  (require 'json)
  (dolist (buffer (buffer-list))
    (with-current-buffer buffer
      (when (and (buffer-modified-p) (not (minibufferp))
                 (not (string-prefix-p " " (buffer-name))))
        (let ((file buffer-file-name) (name (buffer-name)))
          (condition-case err
              (cond
               ((and file (file-writable-p file) (verify-visited-file-modtime buffer))
                (let ((save-silently t) (inhibit-message t)) (basic-save-buffer))
                (push (if (buffer-modified-p) (list "failed" name "It stayed modified.")
                        (list "saved" name file))
                      reports))
               ((or file (and (not buffer-read-only) (not (derived-mode-p 'special-mode))
                              (not (get-buffer-process buffer)) (> (buffer-size) 0)))
                (make-directory folder t)
                (let* ((stem (replace-regexp-in-string
                              "[^[:alnum:] ._+-]" ""
                              (if file (file-name-nondirectory file) name)))
                       (stem (if (string-empty-p stem) "buffer" stem))
                       (ext (if (or file (file-name-extension stem)) "" ".txt"))
                       (copy (expand-file-name (concat "Emacs - " stem ext) folder))
                       (n 1))
                  (while (file-exists-p copy)
                    (setq n (1+ n))
                    (setq copy (expand-file-name
                                (format "Emacs - %s (%d)%s" stem n ext) folder)))
                  (let ((inhibit-message t)) (write-region nil nil copy nil 'quiet nil 'excl))
                  (push (list "rescued" name copy) reports))))
            (error (push (list "failed" name (error-message-string err)) reports)))))))
  (base64-encode-string
   (encode-coding-string (json-encode (vconcat (mapcar #'vconcat (nreverse reports)))) 'utf-8)
   t))
)lisp";

}  // namespace

std::string lispString(std::string_view text) {
  std::string literal = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') literal += '\\';
    literal += c;
  }
  return literal + "\"";
}

std::string emacsSaveForm(const std::filesystem::path& rescueFolder) {
  std::string form(kForm);
  const std::string_view marker = "RESCUE-FOLDER";
  form.replace(form.find(marker), marker.size(), lispString(rescueFolder.string()));
  return form;
}

Result<std::vector<EmacsBufferReport>> parseEmacsSaveAnswer(std::string_view printed) {
  while (!printed.empty() && (printed.back() == '\n' || printed.back() == '\r')) {
    printed.remove_suffix(1);
  }
  const auto unreadable = [] { return fail("Emacs answered with something Brimwell can't read."); };
  if (printed.size() < 2 || printed.front() != '"' || printed.back() != '"') return unreadable();
  const auto bytes = Base64::decode(printed.substr(1, printed.size() - 2));
  if (!bytes) return unreadable();
  return parseBufferReports(std::string(bytes->begin(), bytes->end()), "Emacs");
}

SavePassOutput emacsPassOutput(const std::vector<EmacsBufferReport>& reports,
                               const std::string& bundleID, const std::string& appName) {
  return bufferPassOutput(reports, bundleID, appName, "Emacs");
}

}  // namespace brimwell
