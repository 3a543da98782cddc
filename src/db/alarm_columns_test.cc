#include "db/alarm_columns.h"

#include <gtest/gtest.h>

TEST(AlarmColumnsTest, SelectListsKeepTheirLayout) {
  EXPECT_STREQ(CommonAttributes::common_list,
               "loggingtime, eventname, moc_s, moi_s, eventtime, notificationid,      "
               "correlatednotifs, additionaltext, additionalinfo_s, logrectype,      "
               "logrecordid, blob");
  EXPECT_STREQ(NxAlm::specificProblems_s, "specificproblems");
  EXPECT_STREQ(NxNrvCt::specificProblems_s, "specificproblems_s");
  EXPECT_STREQ(NxInt::ackState, "ackstate");
  EXPECT_STREQ(NxNrvCt::displayText, "displaytext");
  EXPECT_STREQ(NxSecur::attr_list,
               "securityalmcauses, securityalmseverty, securityalmdtectrs,      "
               "serviceuser_s, serviceprovider_s");
}
