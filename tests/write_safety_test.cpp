// The output file as an attacker or an unlucky user meets it, through the
// real binary: links, ownership, signals, durability and error lines that
// stay one line. Faults and delays are injected with strace.
#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/process.hpp"

namespace note2md {
namespace {

using testing::Outcome;
using testing::readFile;
using testing::runNote2md;
using testing::writeFile;

// A user other than the one running the tests; only root can hand files to it.
constexpr uid_t kOtherUser = 65534;
constexpr uid_t kThirdUser = 65533;

class WriteSafety : public ::testing::Test {
 protected:
  testing::ScratchDirectory scratch;
  std::string note = scratch.file("note.txt");
  std::string out = scratch.file("out.md");

  void SetUp() override { writeFile(note, "Title\n\nbody\n"); }

  static struct stat statusOf(const std::string& path, bool followLinks = true) {
    struct stat status {};
    EXPECT_EQ(followLinks ? stat(path.c_str(), &status) : lstat(path.c_str(), &status), 0) << path;
    return status;
  }

  static std::string strace() { return testing::findProgram("strace"); }

  // note2md under strace with the given -e expressions; the trace itself goes
  // to `log` (or nowhere).
  static testing::Launch underStrace(const std::vector<std::string>& expressions,
                                     const std::vector<std::string>& arguments, const std::string& log = "/dev/null") {
    testing::Launch launch;
    launch.program = strace();
    // LeakSanitizer cannot work under ptrace; a sanitizer build must not fail for it.
    launch.argv = {"strace", "-qq", "-o", log, "-E", "ASAN_OPTIONS=detect_leaks=0"};
    for (const auto& expression : expressions) launch.argv.insert(launch.argv.end(), {"-e", expression});
    launch.argv.push_back(testing::binaryPath());
    launch.argv.insert(launch.argv.end(), arguments.begin(), arguments.end());
    return launch;
  }
};

#define NEED_STRACE() \
  if (strace().empty()) GTEST_SKIP() << "strace is not installed (Debian package strace)"
#define NEED_ROOT() \
  if (geteuid() != 0) GTEST_SKIP() << "only root can make files that belong to another user"

TEST_F(WriteSafety, TheNewFileKeepsModeOwnerAndGroupButNeverSetUserOrGroupId) {
  // Run as root (as CI runs), an existing file belongs to another user, whose
  // file it must stay; anyone else can only test their own files.
  const uid_t owner = geteuid() == 0 ? kOtherUser : geteuid();
  const gid_t group = geteuid() == 0 ? kOtherUser : getegid();
  const struct {
    const char* name;
    int existing;  // -1: no file yet
    mode_t expected;
  } cases[] = {{"new file, umask 022", -1, 0644}, {"existing 0640", 0640, 0640}, {"existing 06755", 06755, 0755}};
  const mode_t mask = umask(022);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    unlink(out.c_str());
    if (c.existing >= 0) {
      writeFile(out, std::string(10000, 'x'));
      ASSERT_EQ(chown(out.c_str(), owner, group), 0);
      ASSERT_EQ(chmod(out.c_str(), static_cast<mode_t>(c.existing)), 0);
    }
    EXPECT_EQ(runNote2md({note, out, ""}).status, 0);
    EXPECT_EQ(readFile(out), readFile(note));
    const struct stat status = statusOf(out);
    EXPECT_EQ(status.st_mode & 07777, c.expected);
    if (c.existing >= 0) {
      EXPECT_EQ(status.st_uid, owner);
      EXPECT_EQ(status.st_gid, group);
    }
  }
  umask(mask);
}

TEST_F(WriteSafety, FollowsInASharedStickyFolderOnlyLinksOfTheCallerOrTheFolderOwner) {
  NEED_ROOT();
  // A folder like /tmp, but owned by another user: links of root (the caller)
  // and of the folder's owner are followed, a third user's is refused.
  const std::string shared = scratch.file("shared");
  ASSERT_EQ(mkdir(shared.c_str(), 0777), 0);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  ASSERT_EQ(chown(shared.c_str(), kOtherUser, kOtherUser), 0);
  const std::string victim = scratch.file("victim.md");
  const struct {
    uid_t linkOwner;
    bool followed;
  } cases[] = {{0, true}, {kOtherUser, true}, {kThirdUser, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.linkOwner);
    writeFile(victim, "precious");
    const std::string link = shared + "/out.md";
    unlink(link.c_str());
    ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
    ASSERT_EQ(lchown(link.c_str(), c.linkOwner, c.linkOwner), 0);
    Outcome outcome = runNote2md({note, link, ""});
    if (c.followed) {
      EXPECT_EQ(outcome.status, 0) << outcome.out;
      EXPECT_EQ(readFile(victim), readFile(note));
    } else {
      EXPECT_EQ(outcome.status, 1);
      EXPECT_EQ(outcome.out,
                "Error: cannot write \"" + link +
                    "\": not following a symbolic link that another user owns in a shared sticky folder\n");
      EXPECT_EQ(readFile(victim), "precious");
    }
    EXPECT_TRUE(S_ISLNK(statusOf(link, false).st_mode));
  }
}

TEST_F(WriteSafety, FollowsADanglingLinkAndRefusesALoopOrWhatIsNotARegularFile) {
  // As the shell's ">" does: the file the link names is created, the link stays.
  ASSERT_EQ(symlink("sub/../made.md", out.c_str()), 0);
  ASSERT_EQ(mkdir(scratch.file("sub").c_str(), 0755), 0);
  ASSERT_EQ(runNote2md({note, out, ""}).status, 0);
  EXPECT_EQ(readFile(scratch.file("made.md")), readFile(note));
  EXPECT_TRUE(S_ISLNK(statusOf(out, false).st_mode));

  ASSERT_EQ(symlink("b.md", scratch.file("a.md").c_str()), 0);
  ASSERT_EQ(symlink("a.md", scratch.file("b.md").c_str()), 0);
  Outcome outcome = runNote2md({note, scratch.file("a.md"), ""});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.out, "Error: cannot write \"" + scratch.file("a.md") + "\": Too many levels of symbolic links\n");

  // Renaming over a pipe or a folder would replace the node itself.
  ASSERT_EQ(mkfifo(scratch.file("fifo").c_str(), 0644), 0);
  for (const auto& [node, reason] : {std::pair{"fifo", "not a regular file"}, std::pair{"sub", "Is a directory"}}) {
    outcome = runNote2md({note, scratch.file(node), ""});
    EXPECT_EQ(outcome.out, "Error: cannot write \"" + scratch.file(node) + "\": " + reason + "\n");
  }
  EXPECT_EQ(scratch.entries(),
            (std::vector<std::string>{"a.md", "b.md", "fifo", "made.md", "note.txt", "out.md", "sub"}));
}

TEST_F(WriteSafety, AnInterruptedRunRemovesItsAuxiliaryFileAndEndsByTheSignal) {
  NEED_STRACE();
  writeFile(out, "previous");
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal);
    // fsync is held back for a second, time enough on a busy machine for the
    // signal to arrive while the auxiliary file holds the whole text.
    testing::Running running = testing::start(underStrace({"inject=fsync:delay_enter=1000000"}, {note, out, "HSAXL"}));
    pid_t converter = -1;
    for (int tries = 0; tries < 500 && converter < 0; ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      bool auxiliary = false;
      for (const auto& name : scratch.entries()) auxiliary |= name.starts_with(".note2md-");
      std::ifstream children("/proc/" + std::to_string(running.pid) + "/task/" + std::to_string(running.pid) +
                             "/children");
      if (auxiliary) children >> converter;
      if (!children) converter = -1;
    }
    ASSERT_GT(converter, 0) << "the conversion never reached its auxiliary file";
    ASSERT_EQ(kill(converter, signal), 0);
    Outcome outcome = testing::finish(running);
    EXPECT_EQ(outcome.signal, signal) << outcome.out << outcome.err;
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(readFile(out), "previous");
    EXPECT_EQ(scratch.entries(), (std::vector<std::string>{"note.txt", "out.md"}));
  }
}

TEST_F(WriteSafety, FlushesTheFolderAfterTheRenameAndToleratesAFolderThatCannotBeFlushed) {
  NEED_STRACE();
  const std::string log = scratch.file("trace.log");
  ASSERT_EQ(testing::run(underStrace({"trace=rename,openat,fsync"}, {note, out, ""}, log)).status, 0);
  const std::string trace = readFile(log);
  std::size_t rename = trace.find("rename(");
  ASSERT_NE(rename, std::string::npos) << trace;
  std::size_t directory = trace.find("O_DIRECTORY", rename);
  ASSERT_NE(directory, std::string::npos) << trace;
  EXPECT_NE(trace.find("fsync(", directory), std::string::npos) << trace;
  unlink(log.c_str());

  // The second fsync is the folder's.
  const struct {
    const char* error;
    int status;
    std::string printed;
  } cases[] = {
      {"EINVAL", 0, "{tagList:{}, createdDate:\"\", updatedDate:\"\", name:\"Title  body\"}\n"},
      {"EIO", 1,
       "Error: cannot write \"" + out +
           "\": the new file is in place, but its folder could not be flushed to disk: Input/output error\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    Outcome outcome =
        testing::run(underStrace({std::string("inject=fsync:error=") + c.error + ":when=2"}, {note, out, "H"}));
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.out, c.printed);
    EXPECT_EQ(readFile(out), "# Title\n\nbody\n");
  }
}

TEST_F(WriteSafety, ErrorLinesAreOneLineOfValidUtf8AndBlameTheRightThing) {
  // Line feed, escape, U+2028, U+0085, U+2029, DEL, and a byte that is not UTF-8.
  const std::string strange =
      scratch.file("\n\x1B" "a\xE2\x80\xA8" "b\xC2\x85" "c\xE2\x80\xA9" "d\x7F\xFF\"\\.txt");
  Outcome outcome = runNote2md({strange, out, ""});
  EXPECT_EQ(outcome.out, "Error: cannot read \"" +
                             scratch.file("\\n\\x1Ba\\u2028b\\u0085c\\u2029d\\x7F\\xFF\\\"\\\\.txt") +
                             "\": No such file or directory\n");
  outcome = runNote2md({note, scratch.file("missing/out.md"), ""});
  EXPECT_EQ(outcome.out, "Error: cannot write \"" + scratch.file("missing/out.md") + "\": cannot create a file in \"" +
                             scratch.file("missing") + "\": No such file or directory\n");

  NEED_STRACE();
  // Which openat creates the auxiliary file depends on the build (shared
  // libraries are opened too), so a first run counts.
  const std::string log = scratch.file("trace.log");
  ASSERT_EQ(testing::run(underStrace({"trace=openat"}, {note, out, ""}, log)).status, 0);
  std::istringstream trace(readFile(log));
  int creation = 0;
  for (std::string line; std::getline(trace, line) && line.find(".note2md-") == std::string::npos;) ++creation;
  unlink(log.c_str());
  writeFile(out, "previous");
  outcome = testing::run(
      underStrace({"inject=openat:error=EACCES:when=" + std::to_string(creation + 1)}, {note, out, ""}));
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.out, "Error: cannot write \"" + out + "\": cannot create a file in \"" + scratch.path() +
                             "\": Permission denied\n");
  EXPECT_EQ(readFile(out), "previous");
}

}  // namespace
}  // namespace note2md
