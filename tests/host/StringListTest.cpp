// String list rules: sorting, duplicates, case, change events, text forms, owned objects.
#include "host/core/StringList.h"

#include "host/core/Raii.h"

#include <gtest/gtest.h>

using namespace host;

namespace {

struct Counted : TObject {
  explicit Counted(int& alive) : alive_(alive) { ++alive_; }
  ~Counted() override { --alive_; }
  int& alive_;
};

std::vector<String> Items(const TStrings& list) {
  std::vector<String> out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list.Strings(i));
  return out;
}

}  // namespace

TEST(StringList, SortedIgnoresDuplicatesAndKeepsObjects) {
  TStringList list;
  list.SetSorted(true);
  TObject first, second, third;
  list.AddObject("beta", &first);
  list.AddObject("Alpha", &second);
  EXPECT_EQ(list.AddObject("BETA", &third), 1);  // the index of the entry already there
  EXPECT_EQ(Items(list), (std::vector<String>{"Alpha", "beta"}));
  EXPECT_EQ(list.Objects(1), &first);
  EXPECT_EQ(list.Objects(0), &second);
}

TEST(StringList, DuplicateErrorRaisesAndLeavesTheListAlone) {
  TStringList list;
  list.SetSorted(true);
  list.SetDuplicates(dupError);
  list.Add("one");
  int changes = 0;
  list.OnChanging = [&](TObject*) { ++changes; };
  list.OnChange = [&](TObject*) { ++changes; };
  try {
    list.Add("ONE");
    FAIL() << "no exception";
  } catch (const EStringListError& e) {
    EXPECT_EQ(e.Message(), "Duplicates not allowed");
  }
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(changes, 0);
  EXPECT_THROW(list.Insert(0, "zero"), EStringListError);  // no places in a sorted list
  EXPECT_THROW(list.Strings(1), EStringListError);
}

TEST(StringList, AcceptedDuplicatesKeepTheirOrder) {
  TStringList list;
  list.SetSorted(true);
  list.SetDuplicates(dupAccept);
  TObject a, b, c;
  list.AddObject("x", &a);
  list.AddObject("X", &b);
  list.AddObject("w", &c);
  EXPECT_EQ(Items(list), (std::vector<String>{"w", "x", "X"}));
  int index = -1;
  EXPECT_TRUE(list.Find("X", index));
  EXPECT_EQ(index, 1);  // the first equal one
  EXPECT_EQ(list.Objects(2), &b);
}

TEST(StringList, IndexOfIgnoresCaseUnlessCaseSensitive) {
  TStringList list;
  list.Add("C:\\Data\\*");
  list.Add("C:\\\xD0\x96urnal\\a.txt");  // Журнал
  EXPECT_EQ(list.IndexOf("c:\\data\\*"), 0);
  EXPECT_EQ(list.IndexOf("C:\\\xD0\xB6URNAL\\A.TXT"), 1);
  EXPECT_EQ(list.IndexOf("C:\\Data"), -1);
  list.SetCaseSensitive(true);
  EXPECT_EQ(list.IndexOf("c:\\data\\*"), -1);
  EXPECT_EQ(list.IndexOf("C:\\Data\\*"), 0);

  TStringList sorted;
  sorted.SetSorted(true);
  for (const char* s : {"pear", "Apple", "fig", "banana"}) sorted.Add(s);
  EXPECT_EQ(Items(sorted), (std::vector<String>{"Apple", "banana", "fig", "pear"}));
  int index = -1;
  EXPECT_TRUE(sorted.Find("FIG", index));
  EXPECT_EQ(index, 2);
  EXPECT_FALSE(sorted.Find("cherry", index));
  EXPECT_EQ(index, 2);  // where it would go
  EXPECT_EQ(sorted.IndexOf("BANANA"), 1);
}

TEST(StringList, ChangeEventsAreBracketedByUpdates) {
  TStringList list;
  list.Add("a");
  std::vector<String> log;
  list.OnChanging = [&](TObject* sender) {
    EXPECT_EQ(sender, &list);
    log.push_back("changing " + std::to_string(list.Count()));
  };
  list.OnChange = [&](TObject*) { log.push_back("change " + std::to_string(list.Count())); };

  list.Add("b");
  EXPECT_EQ(log, (std::vector<String>{"changing 1", "change 2"}));

  // Nested updates: OnChanging before the first change, OnChange once at the outermost end.
  log.clear();
  list.BeginUpdate();
  list.BeginUpdate();
  list.Add("c");
  list.Delete(0);
  list.EndUpdate();
  EXPECT_EQ(log, (std::vector<String>{"changing 2"}));
  list.Add("d");
  list.EndUpdate();
  EXPECT_EQ(log, (std::vector<String>{"changing 2", "change 3"}));

  // An update in which nothing changes tells nobody; neither does clearing an empty list.
  log.clear();
  {
    UpdateGuard<TStrings> guard(list);
    EXPECT_EQ(list.IndexOf("zzz"), -1);
  }
  TStringList empty;
  int emptyEvents = 0;
  empty.OnChange = [&](TObject*) { ++emptyEvents; };
  empty.Clear();
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(emptyEvents, 0);

  // Setting the whole text is one change.
  list.SetText("x\r\ny\nz");
  EXPECT_EQ(log, (std::vector<String>{"changing 3", "change 3"}));
  EXPECT_EQ(list.UpdateCount(), 0);
}

TEST(StringList, TextSplitsOnEveryLineBreak) {
  TStringList list;
  list.SetText("one\r\ntwo\nthree\rfour\r\n\r\nsix\n");
  EXPECT_EQ(Items(list), (std::vector<String>{"one", "two", "three", "four", "", "six"}));
  list.SetText("a\nb");
  EXPECT_EQ(list.Text(), "a\r\nb\r\n");
  list.SetText("");
  EXPECT_EQ(list.Count(), 0);
}

TEST(StringList, CommaTextRoundTripsQuotesBlanksAndCommas) {
  TStringList list;
  const std::vector<String> items{"plain",
                                  "two words",
                                  "a,b",
                                  "say \"hi\"",
                                  "",
                                  "\xE6\x97\xA5\xE6\x9C\xAC",
                                  "C:\\Program Files\\x"};
  for (const String& s : items) list.Add(s);
  const String text = list.CommaText();
  EXPECT_EQ(text,
            "plain,\"two words\",\"a,b\",\"say \"\"hi\"\"\",,\xE6\x97\xA5\xE6\x9C\xAC,"
            "\"C:\\Program Files\\x\"");
  TStringList back;
  back.SetCommaText(text);
  EXPECT_EQ(Items(back), items);

  back.SetCommaText(" a , b c,\"d\" ,");
  EXPECT_EQ(Items(back), (std::vector<String>{"a", "b", "c", "d", ""}));

  list.Clear();
  list.Add("");
  EXPECT_EQ(list.CommaText(), "\"\"");
  back.SetCommaText(list.CommaText());
  EXPECT_EQ(Items(back), (std::vector<String>{""}));
}

TEST(StringList, OwnedObjectsAreFreedWithTheirStrings) {
  int alive = 0;
  {
    TStringList list(true);
    list.AddObject("a", new Counted(alive));
    list.AddObject("b", new Counted(alive));
    list.AddObject("c", new Counted(alive));
    list.AddObject("d", new Counted(alive));
    EXPECT_EQ(alive, 4);
    list.Delete(0);
    EXPECT_EQ(alive, 3);
    list.SetObjects(0, new Counted(alive));  // the replaced one goes
    EXPECT_EQ(alive, 3);
    list.Move(0, 2);  // moving is not deleting
    EXPECT_EQ(alive, 3);
    EXPECT_EQ(Items(list), (std::vector<String>{"c", "d", "b"}));
    list.Clear();
    EXPECT_EQ(alive, 0);
    list.AddObject("e", new Counted(alive));
  }
  EXPECT_EQ(alive, 0);

  TStringList notOwning;
  Counted kept(alive);
  notOwning.AddObject("k", &kept);
  notOwning.Clear();
  EXPECT_EQ(alive, 1);
}

TEST(StringList, AssignCopiesStringsAndObjects) {
  TStringList source;
  TObject a, b;
  source.AddObject("zeta", &a);
  source.AddObject("Alpha", &b);
  source.Add("zeta");

  TStringList copy;
  copy.Add("old");
  copy.Assign(&source);
  EXPECT_EQ(Items(copy), (std::vector<String>{"zeta", "Alpha", "zeta"}));
  EXPECT_EQ(copy.Objects(0), &a);
  EXPECT_EQ(copy.Objects(1), &b);

  // A sorted target applies its own rules.
  TStringList sorted;
  sorted.SetSorted(true);
  sorted.Assign(&source);
  EXPECT_EQ(Items(sorted), (std::vector<String>{"Alpha", "zeta"}));
  EXPECT_EQ(sorted.Objects(1), &a);

  copy.Assign(&copy);
  EXPECT_EQ(copy.Count(), 3);
  TPersistent other;
  EXPECT_THROW(copy.Assign(&other), Exception);
}

TEST(StringList, NameValuePairs) {
  TStringList list;
  list.Add("Width=10");
  list.Add("Name=a=b");
  EXPECT_EQ(list.Values("width"), "10");
  EXPECT_EQ(list.Values("Name"), "a=b");
  EXPECT_EQ(list.Names(1), "Name");
  list.SetValues("Height", "5");
  list.SetValues("Width", "");
  EXPECT_EQ(Items(list), (std::vector<String>{"Name=a=b", "Height=5"}));
}
