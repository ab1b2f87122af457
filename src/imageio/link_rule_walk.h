// SPDX-License-Identifier: MIT
#pragma once

#include "util/unique_fd.h"

#include <QByteArray>

#include <sys/types.h>

// The one rule for symbolic links on a path the program resolves for the user: a link of
// the user or of root is followed, a link of anyone else is not. In a folder others may
// write to, their link would otherwise lead the user's writes into any folder of the user.
// The kernel's own protected-symlinks rule may be switched off, and covers only folders
// with the sticky bit.
bool LinkOwnerTrusted(uid_t owner);

// Links followed before a path counts as a loop, as the kernel counts them.
inline constexpr int kMaxLinkHops = 40;

// Where a walk stopped when it could not reach its folder.
struct LinkRuleStop {
    int error = 0;            // the errno (ENOENT, ENOTDIR, ELOOP, EACCES, ...); 0 for a link
    QByteArray foreignLink;   // the link of another user met on the way, as a path
};

// Opens the folder at `path` (relative to the working folder when not absolute) one
// component at a time, each through the descriptor of the one before, so what was checked
// is what is used: no one can swap a component between the check and the open. Every
// link on the way, and in the targets of the links followed, is judged by its owner.
// Returns an O_PATH descriptor of the folder, with `resolved` set to its path with every
// link replaced by its target; an invalid descriptor with `stop` filled otherwise. `hops`
// counts the links followed across several walks of one resolution.
UniqueFd OpenFolderByLinkRule(const QByteArray& path, QByteArray* resolved, LinkRuleStop* stop,
                              int* hops = nullptr);

// The target of the link `name` in the folder `folderFd` (the link itself when `name` is
// empty and `folderFd` was opened on it with O_PATH | O_NOFOLLOW); 0 or the errno.
int ReadLinkAt(int folderFd, const char* name, QByteArray* target);
