// End-to-end tests: refused calls and failing streams, each with its exit
// code and message, and the files they leave alone.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "tests/e2e/run.h"
#include "tests/e2e/texts.h"

namespace kiv {
namespace {

TEST_F(Run, IdenticalNamesAreRefused) {
  put("in.txt", "Quelle\n");
  EXPECT_RUN(kiv({"in.txt", "in.txt"}), 2, same_name("in.txt"));
  EXPECT_RUN(kiv({"-C", "in.txt", "-Du", "in.txt"}), 2, same_name("in.txt"));
  EXPECT_RUN(kiv({"in.txt", "in.txt", "other.txt"}), 2, same_name("in.txt"));
  // Checked before the source is opened.
  EXPECT_RUN(kiv({"missing.txt", "missing.txt"}), 2, same_name("missing.txt"));
  EXPECT_BYTES(get("in.txt"), "Quelle\n");
  EXPECT_EQ(files(), Names({"in.txt"}));
}

TEST_F(Run, MissingSourceCreatesAndChangesNothing) {
  put("keep.txt", "alt\n");
  EXPECT_RUN(kiv({"missing.txt", "out.txt"}), 3, no_source("missing.txt"));
  EXPECT_RUN(kiv({"missing.txt", "keep.txt"}), 3, no_source("missing.txt"));
  EXPECT_RUN(kiv({"missing.txt", "-A", "-C", "-Du"}), 3, no_source("missing.txt"));
  EXPECT_RUN(kiv({"-C", "-Du", "missing.txt", "out.txt"}), 3, no_source("missing.txt"));
  EXPECT_RUN(kiv({"nodir/missing.txt", "out.txt"}), 3, no_source("nodir/missing.txt"));
  EXPECT_BYTES(get("keep.txt"), "alt\n");
  EXPECT_EQ(files(), Names({"keep.txt"}));
}

TEST_F(Run, FolderIsNoSource) {
  folder("d");
  put("keep.txt", "alt\n");
  EXPECT_RUN(kiv({"d", "out.txt"}), 3, no_source("d"));
  EXPECT_RUN(kiv({"d", "keep.txt"}), 3, no_source("d"));
  EXPECT_RUN(kiv({"d", "-A"}), 3, no_source("d"));
  EXPECT_RUN(kiv({".", "out.txt"}), 3, no_source("."));
  // A folder on standard input is reported under the name "-".
  EXPECT_RUN(kiv_redirected({"-", "out.txt"}, "d", ""), 3, no_source("-"));
  EXPECT_RUN(kiv_redirected({"-E", "keep.txt"}, "d", ""), 3, no_source("-"));
  EXPECT_RUN(kiv_redirected({"-E", "-A"}, "d", ""), 3, no_source("-"));
  EXPECT_RUN(kivs_redirected({}, "d", ""), 3, no_source("-"));
  EXPECT_BYTES(get("keep.txt"), "alt\n");
  EXPECT_EQ(files(), Names({"d", "keep.txt"}));
  EXPECT_EQ(list_dir(path("d")), Names());
}

TEST_F(Run, UnwritableTargetIsReported) {
  put("in.txt", "Quelle\n");
  folder("d");
  EXPECT_RUN(kiv({"in.txt", "nodir/out.txt"}), 5, unwritable("nodir/out.txt"));
  EXPECT_RUN(kiv({"-C", "-Du", "in.txt", "nodir/out.txt"}), 5, unwritable("nodir/out.txt"));
  EXPECT_RUN(kiv({"-E", "nodir/out.txt"}, "x\n"), 5, unwritable("nodir/out.txt"));
  EXPECT_RUN(kiv({"in.txt", "d"}), 5, unwritable("d"));
  EXPECT_RUN(kiv({"in.txt", "d/"}), 5, unwritable("d/"));
  EXPECT_BYTES(get("in.txt"), "Quelle\n");
  EXPECT_EQ(files(), Names({"d", "in.txt"}));
  EXPECT_EQ(list_dir(path("d")), Names());
}

// Windows has no device that is always full; under Wine the name
// /dev/full reaches Linux's, so the Windows build is tested with it too.
TEST_F(Run, FullDeviceIsReported) {
  put("in.txt", "Quelle\n");
  put("big.txt", std::string(1 << 20, 'x'));
  EXPECT_RUN(kiv({"in.txt", "/dev/full"}), 5, unwritable("/dev/full"));
  EXPECT_RUN(kiv({"-C", "-Du", "in.txt", "/dev/full"}), 5, unwritable("/dev/full"));
  EXPECT_RUN(kiv({"-E", "/dev/full"}, "x\n"), 5, unwritable("/dev/full"));
  EXPECT_RUN(kiv({"big.txt", "/dev/full"}), 5, unwritable("/dev/full"));
  // Standard output that cannot take the text: the message cannot be
  // seen there either, but the exit code tells.
  EXPECT_RUN(kiv_redirected({"in.txt", "-A"}, "", "/dev/full"), 5, "");
  EXPECT_RUN(kiv_redirected({"in.txt", "-"}, "", "/dev/full"), 5, "");
  EXPECT_RUN(kiv_redirected({"big.txt", "-A"}, "", "/dev/full"), 5, "");
  EXPECT_RUN(kivs_redirected({"-C", "-Du"}, "in.txt", "/dev/full"), 5, "");
  EXPECT_BYTES(get("in.txt"), "Quelle\n");
}

TEST_F(Run, ReadErrorIsReported) {
  // /proc/self/mem opens, but reading its first page fails. Windows has no
  // such file; under Wine the name reaches Linux's, as with /dev/full.
  // The first block is read before the target is touched: a source that
  // fails at once leaves the target as it was, and nothing is written.
  put("keep.txt", "precious\n");
  EXPECT_RUN(kiv({"/proc/self/mem", "out.txt"}), 6, unreadable("/proc/self/mem"));
  EXPECT_RUN(kiv({"/proc/self/mem", "keep.txt", "-C", "-Du"}), 6, unreadable("/proc/self/mem"));
  EXPECT_RUN(kiv({"/proc/self/mem", "-A"}), 6, unreadable("/proc/self/mem"));
  EXPECT_RUN(kiv({"/proc/self/mem", "-", "-C", "-Du"}), 6, unreadable("/proc/self/mem"));
  EXPECT_BYTES(get("keep.txt"), "precious\n");
  EXPECT_EQ(files(), Names({"keep.txt"}));
}

// A run that fails after it began to write a file it opened by name
// removes that file: half written, it would pass for a finished one. A
// symbolic link stays and leads to an empty file; standard output keeps
// what it got. A file size limit stands in for a full disk.
TEST_F(Run, FailedRunLeavesNoHalfWrittenTarget) {
  put("big.txt", std::string(1 << 18, 'x'));
  Streams full;
  full.file_limit = 1 << 15;
  full.file_limit_quiet = on_windows();
  EXPECT_RUN(call(program_path("Kiv"), {"big.txt", "out.txt", "-C"}, full), 5,
             unwritable("out.txt"));
  Streams full_output = full;
  full_output.in_file = "big.txt";
  full_output.out_file = "stdout.txt";
  EXPECT_RUN(call(program_path("KivS"), {}, full_output), 5, "");
  EXPECT_EQ(get("stdout.txt").size(), 1u << 15);
  EXPECT_EQ(files(), Names({"big.txt", "stdout.txt"}));
  // Wine shows a Windows program the link as the file it points to.
  if (on_windows()) return;
  put("real.txt", "alt\n");
  ASSERT_EQ(symlink("real.txt", path("link.txt").c_str()), 0);
  EXPECT_RUN(call(program_path("Kiv"), {"big.txt", "link.txt"}, full), 5,
             unwritable("link.txt"));
  EXPECT_BYTES(get("real.txt"), "");
  // Through a dangling link a run creates the file it leads to: a failure
  // takes that file back, and the link stays.
  ASSERT_EQ(symlink("nowhere.txt", path("dangling").c_str()), 0);
  EXPECT_RUN(kiv({"/proc/self/mem", "dangling"}), 6, unreadable("/proc/self/mem"));
  EXPECT_RUN(call(program_path("Kiv"), {"big.txt", "dangling"}, full), 5,
             unwritable("dangling"));
  EXPECT_EQ(files(), Names({"big.txt", "dangling", "link.txt", "real.txt", "stdout.txt"}));
  // A target whose folder does not let it go is emptied instead. Run as an
  // unprivileged user, for whom the folder's rights count, from a copy of
  // the program here: the build may sit where that user cannot reach.
  EXPECT_RUN(shell("as=; [ \"$(id -u)\" -ne 0 ] || as='setpriv --reuid=65534 --regid=65534 --clear-groups'; "
                   "chmod 755 . && cp \"$kiv_bin\" kiv && chmod 755 kiv && "
                   "mkdir kept && printf alt > kept/t.txt && chmod 666 kept/t.txt && "
                   "chmod 555 kept && (ulimit -f 32; $as $kiv_runner ./kiv big.txt kept/t.txt -C); "
                   "echo \"$? $(wc -c < kept/t.txt)\"; chmod 755 kept"),
             0, unwritable("kept/t.txt") + "5 0\n");
}

// An interrupted run takes back its target as a failed one does, and then
// ends by the signal that interrupted it, as a shell or make expects, within
// 2 s whatever the target does: a target it began to write goes; before any
// input a new target goes and an old one stays as it was. Wine turns a
// SIGINT to a Windows program into Ctrl-C, which ends it with
// STATUS_CONTROL_C_EXIT (status 58, its low byte).
TEST_F(Run, InterruptedRunTakesBackItsTarget) {
  put("old.txt", "alt\n");
  // Past the length after which a thread of its own writes the output.
  std::string big;
  for (int line = 0; line < 330000; ++line) big += "<p>Zeile mit etwas Text und Tags</p>\n";
  put("big.txt", big);
  const std::string signals = on_windows() ? "INT" : "INT TERM HUP QUIT";
  // A shell starts a job in the background with SIGINT and SIGQUIT
  // ignored, and Kiv keeps what it is given ignored: env puts the default
  // back. The feed ends only after the signal (under Wine a while after:
  // Ctrl-C comes on a thread that takes time to start), so a run left
  // alive ends; one that does not end within 2 s is killed (status 137).
  const std::string helpers =
      std::string(on_windows() ? "settle=0.5; " : "settle=0; ") +
      "wait_for() { n=0; until eval \"$1\" || [ $n -ge 200 ]; do sleep 0.05; n=$((n + 1)); done; }; "
      "feed() { $1; until [ -e stop ]; do sleep 0.05; done; }; "
      "fed() { rm -f stop; what=$1; shift; feed \"$what\" | kiv \"$@\" & pid=$!; }; "
      "interrupt() { kill -$1 $pid; sleep $settle; touch stop; (sleep 2; kill -KILL $pid) >/dev/null 2>&1 & dog=$!; "
      "  wait $pid; echo \"$1 $?\"; kill $dog 2>/dev/null; }; "
      "kiv() { exec env --default-signal $kiv_runner \"$kiv_bin\" \"$@\"; }; ";
  // Each signal: output still to come (the closers), no input yet, only
  // opened, and the writing thread at work on a large text. fed starts a
  // run on a feed that ends once stopped; the stop goes before the run
  // starts, not in the feed, which may start only after the interrupt.
  const std::string each_signal =
      "for s in " + signals + "; do "
      "  fed \"printf aaa\\n\" - t.txt -C -Du; "
      "  wait_for '[ -s t.txt ]'; interrupt $s; [ -e t.txt ] && echo left; rm -f t.txt; "
      "  fed : - new.txt; "
      "  wait_for '[ -e new.txt ]'; interrupt $s; [ -e new.txt ] && echo left; rm -f new.txt; "
      "  fed : - old.txt; "
      "  wait_for 'ls -l /proc/$pid/fd 2>/dev/null | grep -q old.txt'; interrupt $s; cat old.txt; "
      "  fed 'head -c 6000000 big.txt' - t.txt -z; "
      "  wait_for '[ \"$(wc -c < t.txt)\" -gt 5000000 ]'; interrupt $s; [ -e t.txt ] && echo left; "
      "  rm -f t.txt; "
      "done; ";
  std::string expected;
  for (const char* signal : {"INT 130", "TERM 143", "HUP 129", "QUIT 131"}) {
    std::string status = on_windows() ? "INT 58" : signal;
    expected += status + "\n" + status + "\n" + status + "\nalt\n" + status + "\n";
    if (on_windows()) break;
  }
  if (on_windows()) {
    ProcessResult result = posix_shell("{ " + helpers + each_signal + "} 2>/dev/null");
    EXPECT_BYTES(result.out, expected);
    EXPECT_EQ(files(), Names({"big.txt", "old.txt", "stop"}));
    return;
  }
  // A named pipe as the target: a signal ends the run while the open waits
  // for a reader, and while the writing thread waits for one that stopped
  // reading; the pipe stays.
  // ThreadSanitizer holds a signal back until the open that waits for a
  // reader returns.
  const bool no_reader_row = std::getenv("KIV_THREAD_SANITIZER") == nullptr;
  const std::string fifo =
      std::string("mkfifo t.fifo; ") +
      (no_reader_row ? "kiv big.txt t.fifo & pid=$!; sleep 0.3; interrupt INT; " : "") +
      "for s in INT TERM; do "
      "  { head -c 6000000 >/dev/null; touch read; exec sleep 10; } < t.fifo & reader=$!; "
      "  kiv big.txt t.fifo -z & pid=$!; "
      "  wait_for '[ -e read ]'; sleep 0.3; interrupt $s; kill $reader; wait $reader; rm -f read; "
      "done; "
      "[ -p t.fifo ] && echo fifo; rm -f t.fifo; ";
  EXPECT_RUN(shell("{ " + helpers + each_signal + fifo + "} 2>/dev/null"), 0,
             expected + (no_reader_row ? "INT 130\n" : "") + "INT 130\nTERM 143\nfifo\n");
  EXPECT_EQ(files(), Names({"big.txt", "old.txt", "stop"}));
}

TEST_F(Run, OneFileUnderTwoNamesIsRefused) {
  const std::string source = "Quelle\n";
  put("a.txt", source);
  // Wine shows a Windows program the hard link as a second name of the
  // file, and the symbolic link as the file it points to.
  ASSERT_EQ(link(path("a.txt").c_str(), path("hard.txt").c_str()), 0);
  ASSERT_EQ(symlink("a.txt", path("soft.txt").c_str()), 0);
  folder("sub");
  // Past 4 GiB, and sparse, so that nothing is stored: a 32-bit build
  // needs 64-bit sizes to open and identify it at all.
  put("huge.txt", "");
  ASSERT_EQ(truncate(path("huge.txt").c_str(), (off_t{1} << 32) + 1), 0);

  EXPECT_RUN(kiv({"huge.txt", "./huge.txt"}), 2, same_name("huge.txt"));
  EXPECT_RUN(kiv({"a.txt", "./a.txt"}), 2, same_name("a.txt"));
  EXPECT_RUN(kiv({"./a.txt", "sub/../a.txt"}), 2, same_name("./a.txt"));
  EXPECT_RUN(kiv({"a.txt", path("a.txt")}), 2, same_name("a.txt"));
  EXPECT_RUN(kiv({"a.txt", "hard.txt"}), 2, same_name("a.txt"));
  EXPECT_RUN(kiv({"hard.txt", "a.txt", "-C", "-Du"}), 2, same_name("hard.txt"));
  EXPECT_RUN(kiv({"a.txt", "soft.txt"}), 2, same_name("a.txt"));
  EXPECT_RUN(kiv({"soft.txt", "a.txt"}), 2, same_name("soft.txt"));
  EXPECT_RUN(kiv_redirected({"-", "a.txt"}, "a.txt", ""), 2, same_name("-"));
  EXPECT_RUN(kiv_redirected({"-E", "hard.txt"}, "a.txt", ""), 2, same_name("-"));
  if (on_windows()) {
    // Windows names ignore case, and take backslashes and drive letters.
    EXPECT_RUN(kiv({"a.txt", "A.TXT"}), 2, same_name("a.txt"));
    EXPECT_RUN(kiv({"A.txt", "a.txt"}), 2, same_name("A.txt"));
    EXPECT_RUN(kiv({"a.txt", "sub\\..\\a.txt"}), 2, same_name("a.txt"));
    EXPECT_RUN(kiv({"a.txt", windows_path("a.txt", dir_)}), 2, same_name("a.txt"));
    EXPECT_RUN(kiv({".\\hard.txt", "a.txt"}), 2, same_name(".\\hard.txt"));
  }
  // Standard output appended to the source: refused, and the message
  // must not land in the source either.
  EXPECT_RUN(kiv_redirected({"a.txt", "-"}, "", "a.txt"), 2, "");
  EXPECT_RUN(kiv_redirected({"a.txt", "a.txt"}, "", "a.txt"), 2, "");
  EXPECT_RUN(kiv_redirected({"a.txt", "-A"}, "", "soft.txt"), 2, "");
  EXPECT_RUN(kiv_redirected({"-", "-"}, "a.txt", "a.txt"), 2, "");
  EXPECT_RUN(kivs_redirected({"-C", "-Du"}, "a.txt", "hard.txt"), 2, "");
  // Nor the message of any other failure.
  EXPECT_RUN(kiv_redirected({"a.txt", "nodir/out.txt"}, "", "a.txt"), 5, "");

  EXPECT_BYTES(get("a.txt"), source);
  EXPECT_EQ(files(), Names({"a.txt", "hard.txt", "huge.txt", "soft.txt", "sub"}));

  // A named pipe read and written by Kiv itself would never end, and with
  // no writer opening it as the source would wait for ever. Windows has
  // no named pipes in the file system.
  if (on_windows()) return;
  ASSERT_EQ(mkfifo(path("ff").c_str(), 0600), 0);
  EXPECT_RUN(shell("exec timeout 10 $kiv_runner \"$kiv_bin\" ff ./ff -z"), 2,
             same_name("ff"));
}

// A standard stream the caller closed is reported, and no file opened by
// name may take its place: the source must not pass for standard output,
// nor the target for standard input.
TEST_F(Run, ClosedStandardStreamsAreReported) {
  put("a.txt", "Quelle\n");
  put("keep.txt", "alt\n");
  Streams closed_in;
  closed_in.close_input = true;
  Streams closed_out;
  closed_out.close_output = true;
  // Wine hands a Windows program whose standard input is closed a handle
  // to a folder, which is refused as a source like any folder.
  const int closed_in_code = on_windows() ? 3 : 6;
  const std::string closed_in_message =
      on_windows() ? no_source("-") : unreadable("-");
  EXPECT_RUN(call(program_path("Kiv"), {"-E", "keep.txt"}, closed_in),
             closed_in_code, closed_in_message);
  EXPECT_RUN(call(program_path("KivS"), {"-z"}, closed_in), closed_in_code,
             closed_in_message);
  EXPECT_EQ(call(program_path("Kiv"), {"a.txt", "-A"}, closed_out).exit_code,
            5);
  EXPECT_EQ(call(program_path("Kiv"), {"a.txt", "out.txt"}, closed_out)
                .exit_code,
            0);
  // What stands in for a closed stream is no source or target under its
  // /dev name either (names Windows does not have).
  if (!on_windows()) {
    EXPECT_RUN(call(program_path("Kiv"), {"/dev/stdin", "keep.txt"}, closed_in), 6,
               unreadable("/dev/stdin"));
    EXPECT_RUN(call(program_path("Kiv"), {"/dev/fd/0", "keep.txt", "-z"}, closed_in), 6,
               unreadable("/dev/fd/0"));
    EXPECT_EQ(call(program_path("Kiv"), {"a.txt", "/dev/stdout", "-C", "-D"}, closed_out)
                  .exit_code,
              5);
    EXPECT_EQ(call(program_path("Kiv"), {"/dev/stdout", "keep.txt"}, closed_out).exit_code,
              6);
  }
  EXPECT_BYTES(get("keep.txt"), "alt\n");
  EXPECT_BYTES(get("a.txt"), "Quelle\n");
  EXPECT_WRITTEN("out.txt", "Quelle\n");
}

TEST_F(Run, DevicesAreNotMistakenForTheSource) {
  put("a.txt", "Quelle\n");
  // Redirections come from Linux's /dev/null; the program itself names
  // the null device of its system (NUL on Windows).
  const std::string null = null_device();
  EXPECT_RUN(kiv_redirected({"a.txt", "-"}, "", "/dev/null"), 0, "");
  EXPECT_RUN(kiv_redirected({"-", "-"}, "/dev/null", "/dev/null"), 0, "");
  EXPECT_RUN(kiv({"a.txt", null}), 0, "");
  EXPECT_RUN(kiv({null, "-A", "-z"}), 0, "\\n\n");
  EXPECT_RUN(kiv({null, null}), 2, same_name(null));
  // Another name of the device is no second name of a file.
  EXPECT_RUN(kiv({null, on_windows() ? "nul" : "/dev/../dev/null"}), 0, "");
  EXPECT_BYTES(get("a.txt"), "Quelle\n");

  // A disk is one under every name: a loop device and a link to it.
  if (on_windows()) return;
  ProcessResult loop = shell("truncate -s 64K disk.img && losetup -f --show disk.img 2>/dev/null");
  if (loop.exit_code != 0 || loop.out.size() < 2) {
    GTEST_SKIP() << "no loop device can be set up here (losetup needs root)";
  }
  const std::string device = loop.out.substr(0, loop.out.size() - 1);
  ASSERT_EQ(symlink(device.c_str(), path("disk").c_str()), 0);
  EXPECT_RUN(kiv({device, "./disk"}), 2, same_name(device));
  EXPECT_RUN(kiv({"disk", device, "-z"}), 2, same_name("disk"));
  shell("losetup -d " + device);
}

}  // namespace
}  // namespace kiv
