// Host facilities: the error convention in a running program and in a form designer, the
// property-changed notification and the ambient font.
#include <gtest/gtest.h>

#include "platform/Host.h"

namespace p = quillane::platform;

TEST(Host, ErrorsCarryNumberDescriptionAndSource) {
  p::SetExeName("quillane");
  p::Host host;
  try {
    host.RaiseError(35601, "xToolbar", "KeyToIndex",
                    "Element not found. Key is missing or illegal.");
    FAIL() << "no error raised";
  } catch (const p::ComError& e) {
    EXPECT_EQ(e.Number(), 35601);
    EXPECT_EQ(e.Description(), "Element not found. Key is missing or illegal.");
    EXPECT_EQ(e.Source(), "quillane.xToolbar:KeyToIndex");
  }
  try {
    host.RaiseError(380, "xToolbar", "BackStyle");
    FAIL() << "no error raised";
  } catch (const p::ComError& e) {
    EXPECT_EQ(e.Description(), "Invalid property value");  // the standard text of the number
  }
}

TEST(Host, DesignModeShowsTheErrorBoxInstead) {
  p::SetExeName("quillane");
  p::Host host;
  host.SetUserMode(false);
  std::string title, text;
  host.SetMessageBox([&](const std::string& t, const std::string& m) {
    title = t;
    text = m;
  });
  EXPECT_NO_THROW(host.RaiseError(9, "xToolbar", "ForceClick", "Invalid Key or Index value"));
  EXPECT_EQ(text.rfind("An unexpected application error has occured!", 0), 0u);
  EXPECT_NE(text.find("quillane.xToolbar:ForceClick"), std::string::npos);
  EXPECT_NE(text.find("Invalid Key or Index value"), std::string::npos);
  EXPECT_NE(text.find("technical support"), std::string::npos);
  EXPECT_EQ(title, "Quillane");
}

TEST(Host, PropertyChangesAndAmbientFontReachTheHost) {
  p::Host host;
  std::vector<std::string> changed;
  host.SetPropertyChangedHandler([&](const std::string& n) { changed.push_back(n); });
  host.PropertyChanged("ButtonChecked3");
  EXPECT_EQ(changed, std::vector<std::string>{"ButtonChecked3"});
  EXPECT_EQ(host.AmbientFont().SizeUnits(), 82500);
  p::StdFont f("Serif", 12);
  f.SetBold(true);
  host.SetAmbientFont(f);
  EXPECT_TRUE(host.AmbientFont().Bold());
  EXPECT_EQ(host.AmbientFont().Weight(), 700);
  EXPECT_TRUE(host.UserMode());
}
