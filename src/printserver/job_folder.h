// The work folder shared with the producing application: job files
// "U*.PRN" (any letter case), claimed by copying them to a private name.
#pragma once
#include <string>
#include <vector>

// Names of the regular files in `folder` matching "U*.PRN" without regard to
// case, in the order the file system lists them. Links and devices never count.
std::vector<std::string> ListJobFiles(const std::string& folder);

// Remembers how the job folder looked at the last listing, so that a folder
// that cannot hold new entries is not listed again: its modification time is
// unchanged, that time is a few seconds old (coarse time stamps), and the
// last listing found no jobs (a job held open is looked at on every tick).
class FolderWatch {
 public:
  // Before listing: false when the folder cannot have new entries. Takes the
  // folder's time stamp for Listed.
  bool MayHaveNewJobs(const std::string& folder);
  // After listing the folder that MayHaveNewJobs looked at.
  void Listed(bool foundJobs);

 private:
  struct Stamp {
    std::string folder;
    long long seconds = -1;
    long nanoseconds = 0;
    bool operator==(const Stamp&) const = default;
  };
  Stamp listed_;              // the folder as it was before the last listing
  Stamp current_;             // the folder as MayHaveNewJobs saw it
  bool foundJobs_ = true;     // the last listing found jobs
};

// True when `path` is a regular file that no process has open (so its writer
// has finished with it). Takes a write lease and releases it at once; where
// the lease is refused for ownership, looks through /proc/*/fd instead, and
// where that cannot see every process, also wants the file unchanged for a
// few seconds.
bool IsFileFree(const std::string& path);

// Copies a regular file to `to`, which must not exist yet. On failure nothing
// is left under `to`.
bool CopyJobFile(const std::string& from, const std::string& to);

// Erases a regular file (never a link's target or a device).
bool EraseJobFile(const std::string& path);

// A free name in `folder` for keeping a failed job: the job's name with the
// extension ".ERR", with "_1", "_2" ... added when that name is taken.
std::string FailedJobName(const std::string& folder, const std::string& jobName);
