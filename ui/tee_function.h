#pragma once
// Function objects of a series. A function computes its owner's points from the owner's data
// source, and only when there is one; the rate chart gives them none, so they exist as
// configuration: the owner holds exactly the points added to it.
//
// User-interface thread only.

#include <QString>

namespace quorvex::ui {

class TLineSeries;

class TTeeFunction {
  public:
    virtual ~TTeeFunction() = default;

    QString Name() const { return name_; }
    void SetName(const QString& name) { name_ = name; }

    // How many source points make one result point; 0 means all of them. A negative period
    // is refused with ChartException "Function Period should be >= 0".
    double Period() const { return period_; }
    void SetPeriod(double period);

    TLineSeries* ParentSeries() const { return parent_; }
    // The series whose points feed the function; none here.
    const TLineSeries* DataSource() const { return nullptr; }

  protected:
    explicit TTeeFunction(TLineSeries* parent) : parent_(parent) {}

  private:
    TLineSeries* parent_;
    QString name_;
    double period_ = 0;
};

// The mean of the source's Y values.
class TAverageTeeFunction final : public TTeeFunction {
  public:
    explicit TAverageTeeFunction(TLineSeries* parent) : TTeeFunction(parent) {}
};

}  // namespace quorvex::ui
