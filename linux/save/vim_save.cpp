#include "linux/save/vim_save.h"

namespace brimwell {
namespace {

// RESCUE-FOLDER stands for the folder's string literal. Each buffer is handled on its own, so
// one that errs is reported and the others are still saved. The FileChangedShell handler is
// defined after any of the user's, so it runs last and its choice, to leave the buffer as it is,
// stands.
constexpr std::string_view kScript = R"vim(
let s:folder = RESCUE-FOLDER
let s:changed = {}
augroup BrimwellSaveCheck
  autocmd!
  autocmd FileChangedShell * let s:changed[expand('<abuf>')] = 1 | let v:fcs_choice = ''
augroup END

function! s:Writable(name) abort
  return filewritable(a:name) == 1
        \ || (getftype(a:name) ==# '' && filewritable(fnamemodify(a:name, ':h')) == 2)
endfunction

function! s:Write(nr) abort
  let l:windows = win_findbuf(a:nr)
  if !empty(l:windows)
    call win_execute(l:windows[0], 'silent write')
    return
  endif
  let l:popup = popup_create(a:nr, {'hidden': 1})
  try
    call win_execute(l:popup, 'silent write')
  finally
    call popup_close(l:popup)
  endtry
endfunction

function! s:Rescue(nr, name) abort
  let l:base = substitute(fnamemodify(a:name, ':t'), '[^[:alnum:] ._+-]', '', 'g')
  let l:base = a:name ==# '' ? 'No Name' : substitute(l:base, '^\.\+', '', '')
  let l:base = l:base ==# '' ? 'buffer' : l:base
  let l:ext = fnamemodify(l:base, ':e')
  let l:root = l:ext ==# '' ? l:base : fnamemodify(l:base, ':r')
  let l:ext = l:ext ==# '' ? 'txt' : l:ext
  call mkdir(s:folder, 'p', 0700)
  let l:copy = s:folder . '/Vim - ' . l:root . '.' . l:ext
  let l:n = 1
  while getftype(l:copy) !=# ''
    let l:n += 1
    let l:copy = s:folder . '/Vim - ' . l:root . ' (' . l:n . ').' . l:ext
  endwhile
  call writefile(getbufline(a:nr, 1, '$'), l:copy)
  return l:copy
endfunction

let s:reports = []
for s:buffer in getbufinfo({'bufmodified': 1})
  let s:nr = s:buffer.bufnr
  let s:type = getbufvar(s:nr, '&buftype')
  if s:type !=# '' && s:type !=# 'acwrite'
    continue
  endif
  let s:name = s:buffer.name
  let s:title = s:name ==# '' ? '[No Name]' : s:name
  try
    if s:type ==# '' && s:name !=# ''
      execute 'checktime' s:nr
      if !getbufvar(s:nr, '&readonly') && !has_key(s:changed, s:nr) && s:Writable(s:name)
            \ && (!empty(win_findbuf(s:nr)) || exists('*popup_create'))
        try
          call s:Write(s:nr)
        catch
        endtry
        if !getbufvar(s:nr, '&modified')
          call add(s:reports, ['saved', s:title, s:name])
          continue
        endif
      endif
    endif
    call add(s:reports, ['rescued', s:title, s:Rescue(s:nr, s:name)])
  catch
    call add(s:reports, ['failed', s:title, v:exception])
  endtry
endfor

augroup BrimwellSaveCheck
  autocmd!
augroup END
augroup! BrimwellSaveCheck
let g:brimwell_save_report = json_encode(s:reports)
)vim";

}  // namespace

std::string vimString(std::string_view text) {
  std::string literal = "'";
  for (const char c : text) {
    literal += c;
    if (c == '\'') literal += '\'';
  }
  return literal + "'";
}

Result<std::string> vimSaveScript(const std::filesystem::path& rescueFolder) {
  const std::string folder = rescueFolder.string();
  if (folder.find_first_of("\n\r") != std::string::npos) {
    return fail("The rescue folder's name holds a line break, which Vim can't be handed.");
  }
  std::string script(kScript);
  const std::string_view marker = "RESCUE-FOLDER";
  script.replace(script.find(marker), marker.size(), vimString(folder));
  return script;
}

std::string vimSaveExpression(std::string_view scriptPath) {
  return "[execute('source ' . fnameescape(" + vimString(scriptPath) +
         ")), remove(g:, 'brimwell_save_report')][1]";
}

Result<std::vector<BufferReport>> parseVimSaveAnswer(std::string_view printed) {
  while (!printed.empty() && (printed.back() == '\n' || printed.back() == '\r')) {
    printed.remove_suffix(1);
  }
  return parseBufferReports(printed, "Vim");
}

}  // namespace brimwell
