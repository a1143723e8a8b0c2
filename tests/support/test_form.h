#pragma once

#include <string>
#include <vector>

#include "engine/copy_form.h"

namespace oq::test {

// The three boxes of the copy form as plain strings; every text written to txtLOG is also kept in
// `logWrites`, so a test sees lines that a later write replaced.
class TestForm : public CopyForm {
 public:
  std::string Text1;
  std::string txtCopias = "1";
  std::string txtLOG;
  std::vector<std::string> logWrites;

  std::string get_Text1() const override { return Text1; }
  std::string get_txtCopias() const override { return txtCopias; }
  void let_txtCopias(const std::string& text) override { txtCopias = text; }
  std::string get_txtLOG() const override { return txtLOG; }
  void let_txtLOG(const std::string& text) override {
    txtLOG = text;
    logWrites.push_back(text);
  }
};

}  // namespace oq::test
