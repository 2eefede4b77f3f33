/*
** Tests of the generated dialog lines without a window system: which line
** and control each parameter type gets, the identifiers, where the
** controls go, and the value exchange in both directions, with the
** controls kept as plain records.
*/
#include "paramlines.h"
#include "recordingcontrols.h"
#include "xb_parameterinfo.h"
#include "xb_parameterplain.h"
#include "xb_parametersetauto.h"

#include <gtest/gtest.h>

namespace {

using C = ParamControls;

/* A set whose members point at descriptors of a definition it keeps. */
struct Form {
  XB_ParameterInfoGroup definition{"things"};
  XB_ParameterSetAuto set{"things"};

  /* Adds a member of a type with a value. */
  void Add(const char* name, uint32_t type, const XB_Value& value) {
    XB_ParameterInfo* info = definition.Add(name, name, "test", type);
    set.Add(new XB_ParameterPlain(name, value, info));
  }
  /* The value of member key. */
  XB_Value Value(const char* key) {
    XB_Value v;
    set.GetValueByKey(v, key);
    return v;
  }
};

/* The usual mix of a table row: every type the table parser produces. */
void FillRow(Form& form) {
  form.Add("id", PT_KEY, XB_Value("17"));
  form.Add("count", PT_INT, XB_Value(int32_t(4)));
  form.Add("name", PT_TEXT, XB_Value("Smith"));
  form.Add("price", PT_REAL, XB_Value(2.5));
  form.Add("born", PT_DATE, XB_Value("1999-12-31"));
  form.Add("at", PT_TIME, XB_Value("13:45:07"));
  form.Add("stamp", PT_DATETIME, XB_Value("2001-02-03 04:05:06"));
  form.Add("done", PT_BOOL, XB_Value(true));
}

}  // namespace

/* Each type gets its line kind, control and style; key lines take no
** identifier so the input lines after them keep theirs; a date-time has
** no line at all. */
TEST(ParamLines, LineKindsAndIdentifiers) {
  Form form;
  FillRow(form);
  RecordingControls controls;
  ParamLines lines(&controls);
  ASSERT_TRUE(lines.Create(ParamRect{0, 0, 340, 400}, form.set));
  ASSERT_EQ(lines.Count(), 7);
  EXPECT_EQ(lines.FindLine("stamp"), nullptr);

  EXPECT_EQ(lines.FindLine("id")->Id(), ParamLines::kNoId);
  EXPECT_EQ(lines.FindLine("count")->Id(), 0x2000);
  EXPECT_EQ(lines.FindLine("name")->Id(), 0x2001);
  EXPECT_EQ(lines.FindLine("price")->Id(), 0x2002);
  EXPECT_EQ(lines.FindLine("born")->Id(), 0x2003);
  EXPECT_EQ(lines.FindLine("at")->Id(), 0x2004);
  EXPECT_EQ(lines.FindLine("done")->Id(), 0x2005);

  EXPECT_EQ(controls.Find("count", C::CONTROL_EDIT)->style, 0x2002u);
  EXPECT_EQ(controls.Find("name", C::CONTROL_EDIT)->style, 0x0001u);
  EXPECT_EQ(controls.Find("price", C::CONTROL_EDIT)->style, 0x0002u);
  EXPECT_NE(controls.Find("born", C::CONTROL_DATE), nullptr);
  EXPECT_NE(controls.Find("at", C::CONTROL_TIME), nullptr);
  EXPECT_EQ(controls.Find("done", C::CONTROL_LABEL), nullptr);

  /* Labels carry a blank on each side, the check box its bare caption. */
  EXPECT_EQ(controls.Find("name", C::CONTROL_LABEL)->text, " name ");
  EXPECT_EQ(controls.Find("done", C::CONTROL_CHECK)->text, "done");

  lines.Clear();
  EXPECT_EQ(controls.Alive(), 0);
}

/* Lines follow each other 24 pixels apart; numbers put the input in the
** right third, texts in the right two thirds, a check box spans the line. */
TEST(ParamLines, Placement) {
  Form form;
  FillRow(form);
  RecordingControls controls;
  ParamLines lines(&controls);
  lines.Create(ParamRect{0, 0, 340, 400}, form.set);
  /* usable 10..330, label width (320 - 10) / 3 = 103 */
  EXPECT_EQ(controls.Find("id", C::CONTROL_LABEL)->rect, (ParamRect{10, 10, 216, 30}));
  EXPECT_EQ(controls.Find("count", C::CONTROL_EDIT)->rect, (ParamRect{227, 34, 330, 54}));
  EXPECT_EQ(controls.Find("name", C::CONTROL_LABEL)->rect, (ParamRect{10, 58, 113, 78}));
  EXPECT_EQ(controls.Find("name", C::CONTROL_EDIT)->rect, (ParamRect{124, 58, 330, 78}));
  EXPECT_EQ(controls.Find("done", C::CONTROL_CHECK)->rect, (ParamRect{10, 154, 330, 174}));

  /* A resize moves the same lines without new identifiers. */
  lines.Relayout(ParamRect{0, 0, 640, 400});
  EXPECT_EQ(controls.Find("count", C::CONTROL_EDIT)->rect.right, 630);
  EXPECT_EQ(lines.FindLine("done")->Id(), 0x2005);
}

/* Loading shows every value's display text; saving hands back only what
** the user changed, so untouched members keep their kind and value, a NULL
** stays NULL and a date-time without line is left alone. */
TEST(ParamLines, ExchangeKeepsUntouchedValues) {
  Form form;
  FillRow(form);
  form.Add("note", PT_TEXT, XB_Value()); /* a NULL column */
  RecordingControls controls;
  ParamLines lines(&controls);
  lines.Create(ParamRect{0, 0, 340, 400}, form.set);
  lines.Exchange(false, form.set);

  EXPECT_EQ(controls.Find("id", C::CONTROL_DISPLAY)->text, " 17 ");
  EXPECT_EQ(controls.Find("count", C::CONTROL_EDIT)->text, "4");
  EXPECT_EQ(controls.Find("price", C::CONTROL_EDIT)->text, "2.500");
  EXPECT_EQ(controls.Find("note", C::CONTROL_EDIT)->text, "");
  EXPECT_TRUE(controls.Find("done", C::CONTROL_CHECK)->checked);

  controls.Find("name", C::CONTROL_EDIT)->text = "Jones";
  controls.Find("done", C::CONTROL_CHECK)->checked = false;
  lines.Exchange(true, form.set);

  EXPECT_EQ(form.Value("name"), XB_Value("Jones"));
  EXPECT_EQ(form.Value("done"), XB_Value(false));
  EXPECT_EQ(form.Value("count"), XB_Value(int32_t(4)));
  EXPECT_EQ(form.Value("price"), XB_Value(2.5));
  EXPECT_EQ(form.Value("id"), XB_Value("17"));
  EXPECT_TRUE(form.Value("note").IsNone());
  EXPECT_EQ(form.Value("stamp"), XB_Value("2001-02-03 04:05:06"));
  EXPECT_EQ(form.Value("born"), XB_Value("1999-12-31"));
  EXPECT_EQ(form.Value("at"), XB_Value("13:45:07"));

  /* A cleared NULL column becomes the empty text only once typed into. */
  controls.Find("note", C::CONTROL_EDIT)->text = "x";
  lines.Exchange(true, form.set);
  EXPECT_EQ(form.Value("note"), XB_Value("x"));
}

/* The date form reads the digits at the places of YYYY-MM-DD and writes
** that form back; the time form reads and writes HH:MM:SS, so a time comes
** back as it went in once the user changes it. */
TEST(ParamLines, DateAndTimeForms) {
  Form form;
  form.Add("born", PT_DATE, XB_Value("2024-02-29"));
  form.Add("at", PT_TIME, XB_Value("07:08"));
  RecordingControls controls;
  ParamLines lines(&controls);
  lines.Create(ParamRect{0, 0, 340, 400}, form.set);
  lines.Exchange(false, form.set);

  RecordingControls::Control* date = controls.Find("born", C::CONTROL_DATE);
  RecordingControls::Control* time = controls.Find("at", C::CONTROL_TIME);
  EXPECT_EQ(date->when.year, 2024);
  EXPECT_EQ(date->when.month, 2);
  EXPECT_EQ(date->when.day, 29);
  EXPECT_EQ(time->when.hour, 7);
  EXPECT_EQ(time->when.minute, 8);
  EXPECT_EQ(time->when.second, 0);

  date->when.day = 28;
  time->when.second = 9;
  lines.Exchange(true, form.set);
  EXPECT_EQ(form.Value("born"), XB_Value("2024-02-28"));
  EXPECT_EQ(form.Value("at"), XB_Value("07:08:09"));

  ParamDateTime odd = ParamDateLine::ParseText("99-1-5", false);
  EXPECT_EQ(odd.year, 99); /* "99-1": digits up to the "-" */
  EXPECT_EQ(odd.month, 5);
  EXPECT_EQ(odd.day, 0); /* nothing at the day's place */
  ParamDateTime t = ParamDateLine::ParseText(" 23:59:58 ", true);
  EXPECT_EQ(ParamDateLine::FormatText(t, true), "23:59:58");
}

/* A date the picker cannot show leaves the picker as it was and is handed
** back unchanged unless the user picks another date. */
TEST(ParamLines, UnshowableDateIsKept) {
  Form form;
  form.Add("born", PT_DATE, XB_Value("soon"));
  form.Add("at", PT_TIME, XB_Value("25:61"));
  RecordingControls controls;
  ParamLines lines(&controls);
  lines.Create(ParamRect{0, 0, 340, 400}, form.set);
  lines.Exchange(false, form.set);
  lines.Exchange(true, form.set);
  EXPECT_EQ(form.Value("born"), XB_Value("soon"));
  EXPECT_EQ(form.Value("at"), XB_Value("25:61"));

  controls.Find("born", C::CONTROL_DATE)->when = ParamDateTime{2020, 5, 6};
  lines.Exchange(true, form.set);
  EXPECT_EQ(form.Value("born"), XB_Value("2020-05-06"));
}

/* Notifications reach the line with the control's identifier: the folder
** line's "..." opens the browser at the current text and takes the chosen
** folder; a cancelled browser changes nothing.  The button ends at the
** line's right edge, 2 pixels right of the shortened edit. */
TEST(ParamLines, FolderLine) {
  Form form;
  form.Add("id", PT_KEY, XB_Value("1"));
  form.Add("dir", 6, XB_Value("/tmp"));
  RecordingControls controls;
  ParamLines lines(&controls);
  lines.Create(ParamRect{0, 0, 340, 400}, form.set);
  lines.Exchange(false, form.set);
  ParamLine* line = lines.FindLine("dir");
  ASSERT_EQ(line->Id(), 0x2000);
  RecordingControls::Control* edit = controls.Find("dir", C::CONTROL_EDIT);
  RecordingControls::Control* button = controls.Find("dir", C::CONTROL_BUTTON);
  EXPECT_EQ(button->text, "...");
  EXPECT_EQ(edit->rect.right, 310);
  EXPECT_EQ(button->rect, (ParamRect{312, 34, 330, 54}));

  lines.Notify(0x2000, C::EVENT_PRESSED);
  EXPECT_EQ(controls.browseStart, "/tmp");
  EXPECT_EQ(edit->text, "/tmp");
  controls.browseAnswer = "/var/lib";
  lines.Notify(0x2001, C::EVENT_PRESSED); /* no such line */
  lines.Notify(ParamLines::kNoId, C::EVENT_PRESSED);
  EXPECT_EQ(edit->text, "/tmp");
  lines.Notify(0x2000, C::EVENT_PRESSED);
  EXPECT_EQ(edit->text, "/var/lib");
  lines.Exchange(true, form.set);
  EXPECT_EQ(form.Value("dir"), XB_Value("/var/lib"));
}

/* A line whose control cannot be made is dropped with its controls and
** reported; a missing descriptor is refused; other lines still work. */
TEST(ParamLines, FailedControlDropsLine) {
  Form form;
  form.Add("a", PT_TEXT, XB_Value("1"));
  form.Add("b", PT_TEXT, XB_Value("2"));
  RecordingControls controls;
  controls.failAfter = 3; /* a's label and edit, b's label */
  ParamLines lines(&controls);
  EXPECT_TRUE(lines.Create(ParamRect{0, 0, 340, 400}, form.set));
  EXPECT_EQ(lines.Count(), 1);
  EXPECT_EQ(controls.Alive(), 2);
  EXPECT_FALSE(lines.AddLine(nullptr));
  EXPECT_TRUE(lines.AddLine(form.definition.Add("c", "c", "", PT_DATETIME)));
  EXPECT_EQ(lines.Count(), 1);
}

/* In row mode the lines tell NULL from the empty text: a NULL loads as an
** empty greyed field and comes back as NULL only while untouched or set
** again; an emptied number, date or time is NULL, an emptied text the
** empty text; date, time and date-time columns are text fields that give
** back exactly what they showed; a read-only line never changes. */
TEST(ParamLines, RowModeKeepsNullApart) {
  Form form;
  form.Add("n", PT_INT, XB_Value("5"));
  form.Add("d", PT_DATE, XB_Value());
  form.Add("t", PT_TIME, XB_Value("sometime"));
  form.Add("stamp", PT_DATETIME, XB_Value("2020-01-02 03:04:05"));
  form.Add("a", PT_TEXT, XB_Value("x"));
  form.Add("b", PT_TEXT, XB_Value());
  form.Add("blob", PT_TEXT, XB_Value("<BLOB, 2 bytes>"));
  RecordingControls controls;
  ParamLines lines(&controls);
  lines.SetNullAware(true);
  ASSERT_TRUE(lines.Create(ParamRect{0, 0, 340, 400}, form.set));
  ASSERT_EQ(lines.Count(), 7);
  lines.Exchange(false, form.set);
  lines.FindLine("blob")->SetReadOnly(true);
  EXPECT_TRUE(controls.Find("d", C::CONTROL_EDIT)->nullLook);
  EXPECT_TRUE(controls.Find("b", C::CONTROL_EDIT)->nullLook);
  EXPECT_FALSE(controls.Find("a", C::CONTROL_EDIT)->nullLook);
  EXPECT_EQ(controls.Find("stamp", C::CONTROL_EDIT)->text, "2020-01-02 03:04:05");
  EXPECT_NE(controls.Find("a", C::CONTROL_EDIT)->style & C::EDIT_SET_NULL, 0u);
  EXPECT_EQ(lines.FirstInput()->Key(), "n");

  // The user empties the number and the text, sets b to NULL after typing
  // into it, and types over the BLOB note of a read-only line.
  controls.Find("n", C::CONTROL_EDIT)->text = "";
  controls.Find("a", C::CONTROL_EDIT)->text = "";
  RecordingControls::Control* b = controls.Find("b", C::CONTROL_EDIT);
  b->text = "typed";
  lines.Notify(b->id, C::EVENT_CHANGED);
  EXPECT_FALSE(b->nullLook);
  b->text = "";
  lines.Notify(b->id, C::EVENT_SET_NULL);
  EXPECT_TRUE(b->nullLook);
  controls.Find("blob", C::CONTROL_EDIT)->text = "changed";
  lines.Exchange(true, form.set);
  EXPECT_TRUE(form.Value("n").IsNone());
  EXPECT_EQ(form.Value("a").AsText(), "");
  EXPECT_FALSE(form.Value("a").IsNone());
  EXPECT_TRUE(form.Value("b").IsNone());
  EXPECT_TRUE(form.Value("d").IsNone());
  EXPECT_EQ(form.Value("t").AsText(), "sometime");
  EXPECT_EQ(form.Value("blob").AsText(), "<BLOB, 2 bytes>");

  // A character the encoding cannot hold stops the save before it starts.
  controls.Find("t", C::CONTROL_EDIT)->text = "bad\x7F";
  XB_String key, error;
  EXPECT_FALSE(lines.ValuesFit(&key, &error));
  EXPECT_EQ(key, "t");
}
