-- The delivered database: its tables and the rows the program needs to start.
-- Text columns compare without regard to letter case (COLLATE NOCASE), as the program expects.
-- Date/time values are stored as text 'yyyy-MM-dd HH:mm:ss'; yes/no values as 0 and 1.

CREATE TABLE admin (
    Userid   INTEGER PRIMARY KEY AUTOINCREMENT,
    username VARCHAR(50) COLLATE NOCASE,
    password VARCHAR(50) COLLATE NOCASE,
    IsUser   BOOLEAN NOT NULL DEFAULT 0
);

CREATE TABLE Custom (
    CustCode  INTEGER PRIMARY KEY AUTOINCREMENT,
    Company   VARCHAR(100) COLLATE NOCASE,
    tel       VARCHAR(50) COLLATE NOCASE,
    Mobile    VARCHAR(50) COLLATE NOCASE,
    OtherInfo VARCHAR(100) COLLATE NOCASE,
    memo2     MEMO COLLATE NOCASE,
    AddDate   DATETIME,
    introduce MEMO COLLATE NOCASE
);

CREATE TABLE T_FieldShow (
    ID         INTEGER PRIMARY KEY AUTOINCREMENT,
    TableName  VARCHAR(50) COLLATE NOCASE,
    Name       VARCHAR(50) COLLATE NOCASE,
    Field      VARCHAR(50) COLLATE NOCASE,
    show       INTEGER DEFAULT 1,
    ShowID     INTEGER,
    Width      INTEGER,
    SumField   INTEGER DEFAULT 0,
    ShowButton INTEGER DEFAULT 0
);

CREATE TABLE T_Schedule (
    ID        INTEGER PRIMARY KEY AUTOINCREMENT,
    F_User    VARCHAR(50) COLLATE NOCASE,
    CustName  VARCHAR(100) COLLATE NOCASE,
    Subject   VARCHAR(100) COLLATE NOCASE,
    Content   MEMO COLLATE NOCASE,
    Awoke     BOOLEAN NOT NULL DEFAULT 0,
    AwokeDate DATETIME,
    CustCode  INTEGER,
    Done      BOOLEAN NOT NULL DEFAULT 0,
    DoneTime  DATETIME
);

CREATE INDEX T_Schedule_CustCode ON T_Schedule (CustCode);

CREATE TABLE T_SoftInfo (
    SoftName VARCHAR(50) COLLATE NOCASE,
    Version  VARCHAR(20) COLLATE NOCASE
);

INSERT INTO admin (username, password, IsUser) VALUES ('Admin', '', 1);

INSERT INTO T_SoftInfo (SoftName, Version) VALUES ('客户管理系统', 'V1.0');

INSERT INTO T_FieldShow (TableName, Name, Field, show, ShowID, Width, SumField, ShowButton) VALUES
    ('Custom', '客户名称', 'Company',   1, 0, 160, 0, 0),
    ('Custom', '联系电话', 'tel',       1, 1, 110, 0, 0),
    ('Custom', '手机号码', 'Mobile',    1, 2, 110, 0, 0),
    ('Custom', '合同编号', 'OtherInfo', 1, 3, 110, 0, 0),
    ('Custom', '添加时间', 'AddDate',   1, 4, 140, 0, 0),
    ('Custom', '详细说明', 'memo2',     1, 5, 260, 0, 0),
    ('Custom', '客户编号', 'CustCode',  0, 6, 70,  0, 0),
    ('Custom', '客户介绍', 'introduce', 0, 7, 200, 0, 0),
    ('Custom', '负责人',   'Owner',     0, 8, 80,  0, 0),
    ('Schedule', '提醒日期', 'AwokeDate', 1, 0, 140, 0, 0),
    ('Schedule', '客户名称', 'CustName',  1, 1, 160, 0, 0),
    ('Schedule', '活动主题', 'Subject',   1, 2, 150, 0, 0),
    ('Schedule', '活动内容', 'Content',   1, 3, 200, 0, 0);

-- The activity columns a reminder list may show; hidden until the operator chooses them.
INSERT INTO T_FieldShow (TableName, Name, Field, show, ShowID, Width, SumField, ShowButton) VALUES
    ('Schedule', '已完成',   'Done',     0, 4, 60,  0, 0),
    ('Schedule', '完成时间', 'DoneTime', 0, 5, 150, 0, 0),
    ('Schedule', '客户编号', 'CustCode', 0, 6, 70,  0, 0);
