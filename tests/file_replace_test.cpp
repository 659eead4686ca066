// Replacing a file through its symbolic links where the export, store and
// log tests do not reach: setting aside what a chain of links ends on.
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

} // namespace
