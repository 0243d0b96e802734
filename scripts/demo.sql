-- The bundled demo database: a few realistic tables to generate code for.
DROP DATABASE IF EXISTS kelvane_demo;
CREATE DATABASE kelvane_demo CHARACTER SET utf8mb4;
USE kelvane_demo;

CREATE TABLE user (
  id INT PRIMARY KEY,
  name VARCHAR(20),
  price DECIMAL(10,2),
  created DATETIME,
  flag TINYINT(1)
);
INSERT INTO user VALUES (1, '张三', 19.90, '2024-03-01 09:30:00', 1), (2, 'Li Si', 5.00, NULL, 0);

CREATE TABLE every_type (
  id INT PRIMARY KEY,
  c_tinyint TINYINT,
  c_smallint SMALLINT,
  c_mediumint MEDIUMINT,
  c_bigint BIGINT,
  c_decimal DECIMAL(12,3),
  c_float FLOAT,
  c_double DOUBLE,
  c_bit BIT(1),
  c_date DATE,
  c_time TIME,
  c_datetime DATETIME,
  c_timestamp TIMESTAMP NULL DEFAULT NULL,
  c_year YEAR,
  c_char CHAR(8),
  c_varchar VARCHAR(100),
  c_text TEXT,
  c_blob BLOB,
  c_enum ENUM('new','paid','sent'),
  c_json JSON
);

CREATE TABLE `商品` (
  `编号` INT PRIMARY KEY,
  `名称` VARCHAR(50),
  `单价` DECIMAL(10,2),
  `库存` INT,
  `上架时间` DATETIME
);
INSERT INTO `商品` VALUES (1, '铅笔', 1.50, 300, '2024-01-15 08:00:00');

CREATE TABLE `order` (
  id INT PRIMARY KEY,
  user_id INT,
  total DECIMAL(10,2),
  status VARCHAR(10),
  placed DATETIME
);
INSERT INTO `order` VALUES (1, 1, 21.40, 'paid', '2024-03-02 10:00:00');
