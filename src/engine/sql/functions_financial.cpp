// The dialect's financial functions: annuities (Pmt, IPmt, PPmt, PV, FV, NPer,
// Rate) and depreciation (DDB, SLN, SYD). Money paid out is negative and money
// received positive; type 0 pays at the end of each period, else at its start.
// Every annuity solves pv*(1+r)^n + pmt*(1+r*type)*((1+r)^n-1)/r + fv = 0.
#include <algorithm>
#include <cmath>

#include "engine/sql/functions_impl.h"

namespace engine::sql::fn {

namespace {

double optionalArg(int n, sqlite3_value** v, int i, double fallback) { return n > i ? numberOf(v[i]) : fallback; }
bool paidAtStart(int n, sqlite3_value** v, int i) { return n > i && numberOf(v[i]) != 0; }

void resultMoney(sqlite3_context* c, double d) {
    if (!std::isfinite(d)) throw Fail{kInvalidCall};
    sqlite3_result_double(c, d);
}

// ((1+r)^n - 1) / r, which is n when r is 0; expm1 keeps it exact for small r.
double growthOverRate(double r, double n) { return r == 0 ? n : std::expm1(n * std::log1p(r)) / r; }

double pmtOf(double r, double nper, double pv, double fv, bool start) {
    if (nper == 0) throw Fail{kInvalidCall};
    double g = std::pow(1 + r, nper);
    return -(pv * g + fv) / ((1 + (start ? r : 0)) * growthOverRate(r, nper));
}
double fvOf(double r, double nper, double pmt, double pv, bool start) {
    return -(pv * std::pow(1 + r, nper) + pmt * (1 + (start ? r : 0)) * growthOverRate(r, nper));
}
double pvOf(double r, double nper, double pmt, double fv, bool start) {
    return -(fv + pmt * (1 + (start ? r : 0)) * growthOverRate(r, nper)) / std::pow(1 + r, nper);
}

// The interest in payment `per` (1..nper): the rate times the balance the
// period starts with; paid at the start, the first payment carries none.
double ipmtOf(double r, double per, double nper, double pv, double fv, bool start) {
    if (per < 1 || per > nper) throw Fail{kInvalidCall};
    double pmt = pmtOf(r, nper, pv, fv, start);
    if (start && per == 1) return 0;
    double interest = fvOf(r, per - 1, pmt, pv, start) * r;
    return start ? interest / (1 + r) : interest;
}

}  // namespace

// Pmt(rate, nper, pv [, fv [, type]])
void fnPmt(sqlite3_context* c, int n, sqlite3_value** v) {
    resultMoney(c, pmtOf(numberOf(v[0]), numberOf(v[1]), numberOf(v[2]), optionalArg(n, v, 3, 0), paidAtStart(n, v, 4)));
}

// IPmt and PPmt(rate, per, nper, pv [, fv [, type]])
void fnIPmt(sqlite3_context* c, int n, sqlite3_value** v) {
    resultMoney(c, ipmtOf(numberOf(v[0]), numberOf(v[1]), numberOf(v[2]), numberOf(v[3]), optionalArg(n, v, 4, 0),
                          paidAtStart(n, v, 5)));
}
void fnPPmt(sqlite3_context* c, int n, sqlite3_value** v) {
    double r = numberOf(v[0]), per = numberOf(v[1]), nper = numberOf(v[2]), pv = numberOf(v[3]);
    double fv = optionalArg(n, v, 4, 0);
    bool start = paidAtStart(n, v, 5);
    double interest = ipmtOf(r, per, nper, pv, fv, start);
    resultMoney(c, pmtOf(r, nper, pv, fv, start) - interest);
}

// PV(rate, nper, pmt [, fv [, type]]) and FV(rate, nper, pmt [, pv [, type]])
void fnPV(sqlite3_context* c, int n, sqlite3_value** v) {
    resultMoney(c, pvOf(numberOf(v[0]), numberOf(v[1]), numberOf(v[2]), optionalArg(n, v, 3, 0), paidAtStart(n, v, 4)));
}
void fnFV(sqlite3_context* c, int n, sqlite3_value** v) {
    resultMoney(c, fvOf(numberOf(v[0]), numberOf(v[1]), numberOf(v[2]), optionalArg(n, v, 3, 0), paidAtStart(n, v, 4)));
}

// NPer(rate, pmt, pv [, fv [, type]]): (1+r)^n = (z - fv) / (z + pv) with z = pmt*(1+r*type)/r.
void fnNPer(sqlite3_context* c, int n, sqlite3_value** v) {
    double r = numberOf(v[0]), pmt = numberOf(v[1]), pv = numberOf(v[2]);
    double fv = optionalArg(n, v, 3, 0);
    bool start = paidAtStart(n, v, 4);
    if (r == 0) {
        if (pmt == 0) throw Fail{kInvalidCall};
        return resultMoney(c, -(pv + fv) / pmt);
    }
    double z = pmt * (1 + (start ? r : 0)) / r;
    double ratio = (z - fv) / (z + pv);
    if (!(ratio > 0) || r <= -1) throw Fail{kInvalidCall};
    resultMoney(c, std::log(ratio) / std::log1p(r));
}

// Rate(nper, pmt, pv [, fv [, type [, guess]]]): Newton's method from the guess
// (0.1 by default). From a far guess over many periods it moves slowly, so it
// has 100 steps; a rate not found by then is refused.
void fnRate(sqlite3_context* c, int n, sqlite3_value** v) {
    double nper = numberOf(v[0]), pmt = numberOf(v[1]), pv = numberOf(v[2]);
    double fv = optionalArg(n, v, 3, 0);
    bool start = paidAtStart(n, v, 4);
    double r = optionalArg(n, v, 5, 0.1);
    if (nper <= 0) throw Fail{kInvalidCall};
    for (int step = 0; step < 100; ++step) {
        if (!(r > -1)) break;
        double g = std::pow(1 + r, nper), q = growthOverRate(r, nper), t = start ? r : 0;
        double f = pv * g + pmt * (1 + t) * q + fv;
        // d/dr of q is (n(1+r)^(n-1) - q) / r, which tends to n(n-1)/2 at r = 0.
        double dq = r == 0 ? nper * (nper - 1) / 2 : (nper * g / (1 + r) - q) / r;
        double df = pv * nper * g / (1 + r) + pmt * ((start ? 1 : 0) * q + (1 + t) * dq);
        if (df == 0 || !std::isfinite(df) || !std::isfinite(f)) break;
        double next = r - f / df;
        if (std::fabs(next - r) < 1e-7) return resultMoney(c, next);
        r = next;
    }
    throw Fail{kInvalidCall};
}

// DDB(cost, salvage, life, period [, factor]): each period takes factor/life of
// the value left, never going below the salvage value.
void fnDDB(sqlite3_context* c, int n, sqlite3_value** v) {
    double cost = numberOf(v[0]), salvage = numberOf(v[1]), life = numberOf(v[2]), period = numberOf(v[3]);
    double factor = optionalArg(n, v, 4, 2);
    if (cost < 0 || salvage < 0 || life <= 0 || period <= 0 || period > life || factor <= 0)
        throw Fail{kInvalidCall};
    double rate = std::min(factor / life, 1.0);
    double before = rate == 1 ? (period <= 1 ? cost : 0) : cost * std::pow(1 - rate, period - 1);
    double after = cost * std::pow(1 - rate, period);
    resultMoney(c, std::max(0.0, before - std::max(after, salvage)));
}

// SLN(cost, salvage, life): the same amount each period.
void fnSLN(sqlite3_context* c, int, sqlite3_value** v) {
    double life = numberOf(v[2]);
    if (life == 0) throw Fail{kInvalidCall};
    resultMoney(c, (numberOf(v[0]) - numberOf(v[1])) / life);
}

// SYD(cost, salvage, life, period): sum-of-years' digits, (life - period + 1) / (1 + 2 + ... + life).
void fnSYD(sqlite3_context* c, int, sqlite3_value** v) {
    double cost = numberOf(v[0]), salvage = numberOf(v[1]), life = numberOf(v[2]), period = numberOf(v[3]);
    if (life <= 0 || period <= 0 || period > life) throw Fail{kInvalidCall};
    resultMoney(c, (cost - salvage) * (life - period + 1) * 2 / (life * (life + 1)));
}

}  // namespace engine::sql::fn
