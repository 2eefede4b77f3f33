/*
** Tests of the growable arrays and the string map, above all their
** behaviour at and beyond their bounds.
*/
#include <gtest/gtest.h>

#include "xb_testsupport.h"
#include "xb_arrayobval.h"
#include "xb_arrayval.h"
#include "xb_stringmap.h"

TEST(ArrayVal, OutsideIndexYieldsNearestAndIsLogged) {
  XB_LogCapture log;
  XB_ArrayVal<int> a;
  a.Add(10);
  a.Add(20);
  a.Add(30);
  EXPECT_EQ(a[-1], 10);
  EXPECT_EQ(a[3], 30);
  EXPECT_EQ(a[1], 20);
  ASSERT_EQ(log.Texts().size(), 2u);
  EXPECT_EQ(log.Texts()[0], "E_ XB_ArrayVal<T>::[-1] ILLEGAL INDEX");
  EXPECT_EQ(log.Texts()[1], "E_ XB_ArrayVal<T>::[3] ILLEGAL INDEX");
}

TEST(ArrayVal, EmptyAccessIsLoggedAndDoesNotTouchTheArray) {
  XB_LogCapture log;
  XB_ArrayVal<int> a;
  a[0] = 99; /* goes to the spare value, not into the array */
  EXPECT_EQ(a.Count(), 0);
  EXPECT_EQ(a[0], 0);
  ASSERT_FALSE(log.Texts().empty());
  EXPECT_EQ(log.Texts()[0], "E_ XB_ArrayVal<T>::[0] EMPTY");
}

TEST(ArrayVal, InsertRemoveAndFind) {
  XB_ArrayVal<int> a;
  for (int i = 0; i < 5; i++) a.Add(i);
  EXPECT_EQ(a.InsertAt(99, 7), 5);
  EXPECT_EQ(a.InsertAt(-3, 8), 0);
  EXPECT_EQ(a.RemoveAt(1, 2), 2);
  EXPECT_EQ(a.RemoveAt(4, 10), 1);
  EXPECT_EQ(a.RemoveAt(-1), 0);
  ASSERT_EQ(a.Count(), 4);
  EXPECT_EQ(a[0], 8);
  EXPECT_EQ(a[3], 4);
  EXPECT_EQ(a.Find(3), 2);
  EXPECT_EQ(a.Find(42), -1);
  XB_ArrayVal<int> copy(a);
  copy.Add(1);
  EXPECT_EQ(a.Count(), 4);
}

TEST(ArrayObVal, ReferencesStayValidWhileTheArrayGrows) {
  XB_ArrayObVal<XB_String> a;
  XB_String& first = a.AddNew("first");
  for (int i = 0; i < 1000; i++) a.Add(XB_String::Formatted("%d", i));
  EXPECT_EQ(first, "first");
  EXPECT_EQ(&first, &a[0]);
  a.RemoveAt(1, 999);
  EXPECT_EQ(a.Count(), 2);
  EXPECT_EQ(a.Last(), "999");
  XB_ArrayObVal<XB_String> copy = a;
  copy[0] = "changed";
  EXPECT_EQ(a[0], "first");
}

TEST(ArrayObVal, BoundsAreLoggedInItsOwnName) {
  XB_LogCapture log;
  XB_ArrayObVal<XB_String> a;
  EXPECT_TRUE(a[2].IsEmpty());
  a.Add(XB_String("x"));
  EXPECT_EQ(a[5], "x");
  ASSERT_EQ(log.Texts().size(), 2u);
  EXPECT_EQ(log.Texts()[0], "E_ XB_ArrayObVal<T>::[2] EMPTY");
  EXPECT_EQ(log.Texts()[1], "E_ XB_ArrayObVal<T>::[5] ILLEGAL INDEX");
}

namespace {
struct Counted {
  explicit Counted(int* live) : live(live) { ++*live; }
  ~Counted() { --*live; }
  int* live;
};
}  // namespace

TEST(ArrayPtr, NullOutsideAndOwnershipOnRequest) {
  int live = 0;
  {
    XB_ArrayPtr<Counted> owning(true);
    owning.Add(new Counted(&live));
    owning.Add(new Counted(&live));
    EXPECT_EQ(owning[-1], nullptr);
    EXPECT_EQ(owning[2], nullptr);
    EXPECT_TRUE(owning.RemoveAt(0));
    EXPECT_EQ(live, 1);
    XB_ArrayPtr<Counted> view(owning);
    EXPECT_FALSE(view.OwnsItems());
  }
  EXPECT_EQ(live, 0);
  Counted kept(&live);
  {
    XB_ArrayPtr<Counted> plain;
    plain.Add(&kept);
    EXPECT_EQ(plain.Find(&kept), 0);
  }
  EXPECT_EQ(live, 1);
}

TEST(StringMap, LookupAndIgnoredCase) {
  XB_StringMap<int> exact;
  exact.Set("Name", 1);
  EXPECT_EQ(exact.Find("Name"), 0);
  EXPECT_EQ(exact.Find("name"), -1);
  EXPECT_EQ(exact.Find(""), -1);
  EXPECT_EQ(exact.Find(static_cast<const char*>(nullptr)), -1);
  EXPECT_EQ(exact.Set("", 5), -1);
  EXPECT_EQ(exact.Count(), 1);

  XB_StringMap<int> folded(true);
  folded.Set("Name", 1);
  EXPECT_EQ(folded.Set("NAME", 2), 0);
  EXPECT_EQ(folded.Count(), 1);
  EXPECT_EQ(folded.KeyAt(0), "Name");
  EXPECT_EQ(*folded.Lookup("nAmE"), 2);
  EXPECT_FALSE(folded.Add("name", 3));
  /* Latin-1 letters are not folded. */
  folded.Set("\xc4", 4);
  EXPECT_EQ(folded.Find("\xe4"), -1);
}

TEST(StringMap, RemoveKeepsLaterIndicesRight) {
  XB_StringMap<XB_String> map;
  map.Set("a", XB_String("1"));
  map.Set("b", XB_String("2"));
  map.Set("c", XB_String("3"));
  EXPECT_TRUE(map.Remove("a"));
  EXPECT_FALSE(map.Remove("a"));
  EXPECT_EQ(map.Find("c"), 1);
  EXPECT_EQ(map.ValueAt(map.Find("b")), "2");
  EXPECT_EQ(map.Lookup("a"), nullptr);
}
