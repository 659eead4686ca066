// Replacing a file through its symbolic links where the export, store and
// log tests do not reach: setting aside what a chain of links ends on; a
// replacement that runs out of memory; and the programs started after the
// start-up step. This program replaces the global
// operator new so that an allocation can be made to fail on demand.
#include "failing_new.h"
#include "fault_support.h"
#include "file_replace.h"

#include <gtest/gtest.h>

namespace {

// What the chain ends on is moved aside beside it and replaced there; every
// link stays, and nothing else is made.
TEST(FileReplace, SetAsideThroughLinks) {
    const struct {
        std::vector<std::pair<std::string, std::string>> links; // name, text
        const char *end;                                        // the file replaced
        std::set<std::string> names;                            // then in the folder
    } rows[] = {
        {{{"a", "real"}}, "real", {"a", "real", "real.corrupt", "sub"}},
        {{{"a", "sub/hop"}, {"sub/hop", "real"}},
         "sub/real",
         {"a", "sub", "sub/hop", "sub/real", "sub/real.corrupt"}},
        {{{"a", "@/sub/real"}}, "sub/real", {"a", "sub", "sub/real", "sub/real.corrupt"}},
    };
    for (const auto &r : rows) {
        temp_dir dir;
        SCOPED_TRACE(r.links.back().second);
        ASSERT_EQ(mkdir(dir.file("sub").c_str(), 0755), 0);
        write_all(dir.file(r.end), "OLD");
        for (auto [name, text] : r.links) {
            if (text[0] == '@')
                text = dir.path + text.substr(1);
            ASSERT_EQ(symlink(text.c_str(), dir.file(name).c_str()), 0);
        }
        EXPECT_EQ(file_replace(dir.file("a"), REPLACE_SET_ASIDE | REPLACE_DANGLING,
                               [](FILE *f) { return fputs("NEW", f) < 0 ? -1 : 0; }),
                  0);
        EXPECT_EQ(read_all(dir.file(r.end)), "NEW");
        EXPECT_EQ(read_all(dir.file(r.end + std::string(".corrupt"))), "OLD");
        std::set<std::string> names = names_in(dir.path);
        for (const std::string &name : names_in(dir.file("sub")))
            names.insert("sub/" + name);
        EXPECT_EQ(names, r.names);
        for (const auto &link : r.links) {
            struct stat st;
            EXPECT_TRUE(lstat(dir.file(link.first).c_str(), &st) == 0 && S_ISLNK(st.st_mode))
                << link.first;
        }
    }
}

// A chain of links is followed as far as the kernel follows one: 40 links
// lead to the file, which is replaced; at 41 the kernel gives up and so does
// the replacement, leaving the file as it was.
TEST(FileReplace, FollowsFortyLinksAndRefusesFortyOne) {
    const struct {
        int links;
        bool followed;
    } rows[] = {{40, true}, {41, false}};
    for (const auto &r : rows) {
        SCOPED_TRACE(r.links);
        temp_dir dir;
        write_all(dir.file("real"), "OLD");
        for (int k = 1; k <= r.links; k++) {
            const std::string next = k == r.links ? "real" : "l" + std::to_string(k + 1);
            ASSERT_EQ(symlink(next.c_str(), dir.file("l" + std::to_string(k)).c_str()), 0);
        }
        const std::string first = dir.file("l1");
        struct stat st;
        ASSERT_EQ(stat(first.c_str(), &st) == 0, r.followed) << "as the kernel follows links";
        EXPECT_EQ(file_replace_target(first, 0), r.followed ? dir.file("real") : "");
        EXPECT_EQ(file_replace(first, 0, [](FILE *f) { return fputs("NEW", f) < 0 ? -1 : 0; }),
                  r.followed ? 0 : -1);
        EXPECT_EQ(read_all(dir.file("real")), r.followed ? "NEW" : "OLD");
    }
}

// Each allocation of a replacement failing in turn, in every way of
// replacing (renamed, set aside, copied in place over a second name), and a
// write that throws: the replacement fails with the file as it was and no
// other name made, or (past the last allocation) replaces it.
TEST(FileReplace, WithoutMemoryFailsAndKeepsTheFile) {
    const struct {
        int options;
        bool linked;
    } rows[] = {{0, false}, {REPLACE_SET_ASIDE | REPLACE_DANGLING, false}, {0, true}};
    for (const auto &r : rows) {
        SCOPED_TRACE(std::to_string(r.options) + std::to_string(r.linked));
        temp_dir dir;
        const std::string target = dir.file("f");
        auto write_new = [](FILE *f) { return fputs("NEW", f) < 0 ? -1 : 0; };
        for (long k = 0;; k++) {
            write_all(target, "OLD");
            if (r.linked && k == 0) {
                ASSERT_EQ(link(target.c_str(), dir.file("g").c_str()), 0);
            }
            const std::set<std::string> names = names_in(dir.path);
            int rc;
            {
                failing_allocation fail(k, 0, true);
                rc = file_replace(target, r.options, write_new);
            }
            if (!failed) {
                EXPECT_EQ(rc, 0);
                EXPECT_EQ(read_all(target), "NEW");
                break;
            }
            ASSERT_EQ(rc, -1) << "allocation " << k;
            ASSERT_EQ(read_all(target), "OLD") << "allocation " << k;
            ASSERT_EQ(names_in(dir.path), names) << "allocation " << k;
        }
        write_all(target, "OLD");
        const std::set<std::string> names = names_in(dir.path);
        EXPECT_EQ(file_replace(target, r.options, [](FILE *) -> int { throw std::bad_alloc(); }),
                  -1);
        EXPECT_EQ(read_all(target), "OLD");
        EXPECT_EQ(names_in(dir.path), names);
    }
}

} // namespace
