// Load-time constants: settings key names and the floating-point specials.
#include "Core/KrConstants.h"

#include <cstdio>

namespace kr {
const std::string s___result = "__result";
const std::string s___result_data = "__result_data";
const std::string s_x = "x";
const std::string s_y = "y";
const std::string s_z = "z";
const std::string s_w = "w";
const std::string s_min = "min";
const std::string s_max = "max";
const std::string s_empty = "empty";
const std::string s_data = "data";
const std::string s_index = "index";
const std::string s_alpha = "alpha";
const std::string s_omega = "omega";
const std::string s_kappa = "kappa";
const std::string s_src_res_id = "src_res_id";
const std::string s_dst_res_id = "dst_res_id";
const std::string s_project_id = "project_id";
const std::string s_serial_id = "serial_id";
const std::string s_dem = "dem";
const std::string s_objects = "objects";
const std::string s_raster = "raster";
const std::string s_tin = "tin";
const std::string s_group_id = "group_id";
const std::string s_dep_group_id = "dep_group_id";
const std::string s_par_proc_params = "par_proc_params";
const std::string s_parallel = "parallel";
const std::string s_params = "params";
const std::string s_version = "version";
const std::string s_;
} // namespace kr

namespace {
struct TSpecials {
    double v[4] = {0, 0, 0, 0};
    TSpecials() { std::sscanf("+INF -INF +NAN -NAN", "%lf %lf %lf %lf", &v[0], &v[1], &v[2], &v[3]); }
};
const TSpecials g_specials;
} // namespace

const double PINF = g_specials.v[0];
const double NINF = g_specials.v[1];
const double PNAN = g_specials.v[2];
const double NNAN = g_specials.v[3];
