#pragma once
// File and path routines: deleting read-only files, telling network paths, converting between relative and
// full file names (both "/" and "\" are accepted as separators; results use "/"), and opening a text file
// in the user's editor.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvik {

// Deletes the file even when it is read-only; true when it is gone (also when it never existed).
bool DeleteAnyFile(const std::string& name);

// True for a name starting with two backslashes, or for a path on a network file system (NFS, SMB/CIFS,
// 9p, AFS, Coda, NCP, cluster file systems, network FUSE mounts such as sshfs). A path that does not exist
// is judged by its nearest existing parent.
bool IsNetworkPath(const std::string& path);

// The full name of `name` taken relative to the folder `base`: surrounding double quotes are removed, the
// base folder is put in front of a relative name and "." and ".." segments are resolved. A name that is
// absolute ("/...", a drive letter, or "\\server\...") is returned unchanged.
std::string ExpandRelativeFileName(const std::string& name, const std::string& base);

// `name` relative to the folder `base` ("../b.plt"); the name itself when that is not shorter.
std::string MakeRelativeFileName(const std::string& base, const std::string& name);

// Starts a program detached from this one; true when it could be started. argv[0] is looked up on PATH.
using TEditorLauncher = std::function<bool(const std::vector<std::string>& argv)>;
bool LaunchDetached(const std::vector<std::string>& argv);
// Replaces the launcher ViewFileInEditor uses (tests); an empty function restores LaunchDetached.
// Returns the launcher in place before.
TEditorLauncher SetEditorLauncher(TEditorLauncher launcher);

// The command that shows a file: $VISUAL, else $EDITOR (each may carry arguments), else xdg-open; the file
// name is the last argument.
std::vector<std::string> EditorCommand(const std::string& name);

// Opens the file in the user's text editor without waiting for it. Raises
// "Could not display file "<name>" in Wordpad editor.\rWordpad editor is missing or not installed properly."
// when the editor cannot be started.
void ViewFileInEditor(const std::string& name);

namespace detail {
// Whether a file system, by its statfs magic number and its type in the mount table ("fuse.sshfs"), is
// reached over a network.
bool IsNetworkFileSystem(uint64_t magic, std::string_view mountType);
// The file system type in a /proc/self/mountinfo text of the mount holding `path` (an absolute, existing,
// canonical path): the mount with the longest matching mount point.
std::string MountTypeOf(std::string_view mountInfo, const std::string& path);
}  // namespace detail

}  // namespace zorvik
