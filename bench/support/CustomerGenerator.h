#pragma once

// Realistic customers and contact activities for benchmarks and demonstrations: Chinese
// company names, telephone and mobile numbers, contract numbers, memos of about a hundred
// Chinese characters and dates. The same seed always gives the same rows.

#include <QString>
#include <random>

namespace BenchData {

struct Customer {
    QString company, tel, mobile, contract, memo, introduce, addDate; // introduce may be null
};

struct Activity {
    QString user, custName, subject, content, awokeDate;
    bool awoke = true;
};

class CustomerGenerator {
  public:
    explicit CustomerGenerator(quint32 seed = 20240601) : random_(seed) {}

    Customer nextCustomer();
    // An activity of the operator, due within +-days of today.
    Activity nextActivity(const QString& user, int days = 30);

  private:
    int uniform(int low, int high); // both ends included
    template <size_t N> const char* pick(const char* const (&pool)[N]) {
        return pool[uniform(0, int(N) - 1)];
    }
    QString digits(int count);
    QString memo(int minimumCharacters);
    QString dateTimeText(int daysFromToday, bool workingHours);

    std::mt19937 random_;
};

// Creates a database file from the delivered schema; an existing file is replaced.
void createDatabase(const QString& path, const QString& schemaPath);
// Appends generated customers in one transaction.
void addCustomers(const QString& path, int count, quint32 seed = 20240601);
// Appends generated activities of the operator in one transaction.
void addActivities(const QString& path, const QString& user, int count, quint32 seed = 7);

} // namespace BenchData
