using System;
using System.Linq;
using System.Text;
using System.Net;
using System.Collections.Generic;
using MySql.Data.MySqlClient;

namespace  np.Star

{
        public   MySqlConnection conn;
        public   String connStr;

        public 连接数据mysql库 ()
        {
        public MySqlConnection 取连接 ()
        {
        }

        public string  取连接文本 ()
        {
            connStr= server=127.0.0.1;port=3306;user=root;password=p4ss;database=minecraftdb;
            return connStr;
        }

  }
}
