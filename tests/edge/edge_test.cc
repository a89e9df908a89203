// The edge on the in-memory disk: the one output rule for every kind of target and every
// failure, and bounded reading.
// temporaries for every kind of target and every failure.
#include <gtest/gtest.h>

#include "edge/output_file.h"
#include "edge/read_file.h"
#include "support/fake_disk.h"

namespace edge {
namespace {

using testing_support::fake_disk;

struct rule_row {
  const char* name;
  void (*prepare)(fake_disk&);  // the disk before the run; out.csv holds "old" where it exists
  const char* claimed;          // the path claimed (after in.csv, the run's input, and a.csv)
  const char* refusal;          // empty when the claim is taken
  const char* after;            // what the target holds once "new" is committed or refused
};

void nothing(fake_disk&) {}

// The claims: a.csv is claimed first, in.csv is an input.
TEST(OutputFile, TheRuleForEveryTarget) {
  const rule_row rows[] = {
      {"a new file is written whole", nothing, "new.csv", "", "new"},
      {"an old file is replaced whole, its permissions kept",
       [](fake_disk& d) { d.permissions["out.csv"] = 0640; }, "out.csv", "", "new"},
      {"an input is never replaced", nothing, "in.csv", "is read by this run: not replaced",
       "input"},
      {"another name of an input neither", [](fake_disk& d) { d.links["link.csv"] = "in.csv"; },
       "link.csv", "is read by this run: not replaced", "input"},
      {"two outputs never share a file", nothing, "a.csv", "is named by two outputs", ""},
      {"a symbolic link is followed", [](fake_disk& d) { d.links["l.csv"] = "out.csv"; }, "l.csv",
       "", "new"},
      {"a write-protected file stays", [](fake_disk& d) { d.permissions["out.csv"] = 0444; },
       "out.csv", "is write-protected: not replaced", "old"},
      {"a file this process may not write stays",
       [](fake_disk& d) { d.read_only.insert("out.csv"); }, "out.csv",
       "is write-protected: not replaced", "old"},
      {"another user's file stays", [](fake_disk& d) { d.foreign.insert("out.csv"); }, "out.csv",
       "belongs to another user: not replaced", "old"},
      {"a folder is not a file", [](fake_disk& d) { d.folders.insert("out.csv"); }, "out.csv",
       "is a folder", ""},
      {"a missing folder is said", nothing, "none/out.csv", "No such file or directory", ""},
  };
  for (const rule_row& row : rows) {
    SCOPED_TRACE(row.name);
    fake_disk d;
    d.files["in.csv"] = "input";
    d.files["out.csv"] = "old";
    row.prepare(d);
    run_files files(d);
    files.add_input("in.csv");
    base::status why;
    const auto a = files.claim("a.csv", why);
    ASSERT_TRUE(a);
    {
      const auto out = files.claim(row.claimed, why);
      EXPECT_EQ(why.what, row.refusal);
      EXPECT_EQ(out == nullptr, *row.refusal != 0);
      if (out) {
        EXPECT_TRUE(out->write("new"));
        EXPECT_TRUE(out->commit().ok());
      }
    }
    const std::string target = d.resolve(row.claimed);
    if (*row.after) {
      EXPECT_EQ(d.files[target], row.after);
    }
    if (std::string(row.name).find("permissions kept") != std::string::npos) {
      EXPECT_EQ(d.permissions["out.csv"], 0640u);
    }
    EXPECT_EQ(d.temporaries.size(), 1u);  // a.csv's, not yet committed
  }
}

// A device is written in place, never replaced by a regular file (the run as root once
// replaced /dev/null).
TEST(OutputFile, DevicesAreWrittenInPlace) {
  fake_disk d;
  d.devices.insert("/dev/null");
  run_files files(d);
  base::status why;
  const auto out = files.claim("/dev/null", why);
  ASSERT_TRUE(out);
  EXPECT_TRUE(out->write("rows"));
  EXPECT_TRUE(out->commit().ok());
  EXPECT_EQ(d.files.count("/dev/null"), 0u);
  EXPECT_TRUE(d.temporaries.empty());
  for (const std::string& entry : d.log) EXPECT_EQ(entry.find("rename"), std::string::npos);
}

// A failure on the way leaves the target as it was and no temporary: a full disk, a failed
// close, a run that ends before committing.
TEST(OutputFile, FailuresLeaveTheOldFile) {
  const struct {
    const char* name;
    void (*fail)(fake_disk&, const std::string& temporary);
    bool commits;
    const char* refusal;
  } rows[] = {
      {"a full disk after 4096 bytes",
       [](fake_disk& d, const std::string& t) { d.fail_writes_after(t, 4096); }, true,
       "No space left on device"},
      {"a failed close", [](fake_disk& d, const std::string& t) { d.fail_close(t); }, true,
       "Input/output error"},
      {"no commit", [](fake_disk&, const std::string&) {}, false, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    fake_disk d;
    d.files["out.csv"] = "old";
    run_files files(d);
    base::status why;
    {
      const auto out = files.claim("out.csv", why);
      ASSERT_TRUE(out);
      row.fail(d, *d.temporaries.begin());
      out->write(std::string(3 << 20, 'x'));  // past the buffer: written before the commit
      if (row.commits) {
        const base::status committed = out->commit();
        EXPECT_EQ(committed.what, row.refusal);
        EXPECT_EQ(committed.file, "out.csv");
      }
    }
    EXPECT_EQ(d.files["out.csv"], "old");
    EXPECT_TRUE(d.temporaries.empty());
  }
}

TEST(OutputFile, StandardOutputOnce) {
  fake_disk d;
  run_files files(d);
  base::status why;
  const auto first = files.claim("-", why);
  ASSERT_TRUE(first);
  EXPECT_FALSE(files.claim("-", why));
  EXPECT_EQ(why.what, "standard output is named by two outputs");
  first->write("table\n");
  EXPECT_TRUE(first->commit().ok());
  EXPECT_EQ(d.output, "table\n");
}

}  // namespace
}  // namespace edge

namespace edge {
namespace {

// Reading is bounded: by the size a file states, by what a pipe delivers, and by its first
// bytes, which must begin what the reader takes.
TEST(ReadFile, Bounds) {
  fake_disk d;
  d.files["big.csv"] = std::string(5000, 'x');
  d.files["pipe"] = std::string(5000, 'x');
  d.pipes.insert("pipe");
  d.files["ok.csv"] = "head\nrest";
  d.folders.insert("folder");
  const auto head_is = [](std::string_view wanted) {
    return [wanted](std::string_view head) {
      return head.substr(0, wanted.size()) == wanted ? base::status{}
                                                     : base::failure_at_line(1, "not one");
    };
  };
  const struct {
    const char* path;
    head_check check;
    const char* what;  // empty: read whole
  } rows[] = {
      {"big.csv", nullptr, "more than the 4096 bytes a file may have"},
      {"pipe", nullptr, "more than the 4096 bytes a file may have"},
      {"pipe", head_is("head"), "not one"},
      {"ok.csv", head_is("head"), ""},
      {"folder", nullptr, "is a folder, not a file"},
      {"gone.csv", nullptr, "No such file or directory"},
  };
  for (const auto& row : rows) {
    const file_content c = read_file(d, row.path, 4096, row.check, 4);
    EXPECT_EQ(c.status.what, row.what) << row.path;
    EXPECT_EQ(c.status.file, *row.what ? row.path : "") << row.path;
    EXPECT_EQ(c.text, *row.what ? "" : d.files[row.path]) << row.path;
  }
}

}  // namespace
}  // namespace edge
