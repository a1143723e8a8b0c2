#include "copy_fixture.h"

#include "engine/copy_runs.h"
#include "host/basGLOBAL.h"

namespace oq::test {

void CopyFixture::SetUp() { db_ = std::make_unique<TestDatabase>(GetParam()); }

void CopyFixture::TearDown() {
  // The session holds counted references to the connections; release them before the files go.
  basGLOBAL::Reset();
  db_.reset();
}

void CopyFixture::StartSession(const std::string& source, std::shared_ptr<HostConnection> internos,
                               const std::string& fecha) {
  SessionSetup setup;
  setup.internos = internos ? internos : db_->internos();
  setup.ncm = db_->ncm();
  setup.fecha = fecha;
  setup.source = source;
  SetUpSession(setup);
}

void CopyFixture::Run(const std::string& number, const std::string& copies) {
  form_.Text1 = number;
  form_.txtCopias = copies;
  lpCopiar(ctx_);
}

}  // namespace oq::test
