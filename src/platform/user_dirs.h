#pragma once
// Where the program keeps its files on Linux.
//
//   per-user configuration   $XDG_CONFIG_HOME/talq        (default ~/.config/talq)
//   machine configuration    $TALQ_MACHINE_CONFIG_DIR     (default /etc/talq)
//   per-session runtime      $XDG_RUNTIME_DIR/talq        (0700; falls back to
//                                                          $TMPDIR/talq-<uid>)
//   bare-named ini files     $TALQ_INI_DIR                (default: per-user configuration)

#include <string>

namespace platform {

std::string ConfigDir();
std::string MachineConfigDir();
// Created on demand with mode 0700; the empty text when no private folder can be had.
std::string RuntimeDir();
std::string IniDir();

// Creates the folder and its parents; true when it exists afterwards.
bool MakeDirs(const std::string& path, unsigned mode = 0755);

}  // namespace platform
